"""examples/agent_guard.py (`make demo`): it runs, and leaves its log where it says, verifiable."""

import os
import subprocess
import sys
from pathlib import Path

DEMO = Path(__file__).resolve().parent.parent / "examples" / "agent_guard.py"


def run_demo(arguments, cwd, tmpdir):
    env = dict(os.environ, TMPDIR=str(tmpdir),
               PATH=os.path.dirname(sys.executable) + os.pathsep + os.environ.get("PATH", ""))
    env.pop("ORVEX_SEED", None)
    return subprocess.run([sys.executable, str(DEMO), *arguments], cwd=cwd, env=env,
                          capture_output=True, text=True, timeout=120)


def verify_command(output):
    """The command the demo prints last, as the user would paste it."""
    lines = output.splitlines()
    assert lines[-2] == "verify the log again with:"
    return lines[-1].strip()


def test_the_demo_keeps_its_files_in_a_new_directory_and_says_where(tmp_path):
    done = run_demo([], cwd=tmp_path, tmpdir=tmp_path)
    assert done.returncode == 0, done.stderr
    [workdir] = [path for path in tmp_path.iterdir() if path.name.startswith("orvex-demo-")]
    assert done.stdout.startswith("the demo works in %s and leaves its files there\n" % workdir)
    assert "the demo's files stay in %s:" % workdir in done.stdout
    assert sorted(path.name for path in workdir.iterdir()) == ["audit.pub", "orvex_audit.log",
                                                              "tampered.log"]
    assert len((workdir / "orvex_audit.log").read_text().splitlines()) == 6
    # Once the demo has ended, its own printed command still verifies its log.
    check = subprocess.run(["bash", "-c", verify_command(done.stdout)], capture_output=True, text=True,
                           env=dict(os.environ, PATH=os.path.dirname(sys.executable) + os.pathsep
                                    + os.environ.get("PATH", "")))
    assert check.returncode == 0, check.stdout + check.stderr
    assert check.stdout.startswith("6 records read: 6 valid, 0 invalid\n")


def test_the_demo_uses_the_directory_it_is_given(tmp_path):
    target = tmp_path / "my demo"
    done = run_demo([str(target)], cwd=tmp_path, tmpdir=tmp_path / "unused")
    assert done.returncode == 0, done.stderr
    assert (target / "orvex_audit.log").exists() and (target / "audit.pub").exists()
    assert "'%s'" % (target / "orvex_audit.log") in verify_command(done.stdout)
    assert "1 invalid" in done.stdout                     # the tampered copy was caught


def test_the_demo_refuses_a_directory_that_already_holds_a_log(tmp_path):
    (tmp_path / "orvex_audit.log").write_text("earlier records\n")
    done = run_demo([str(tmp_path)], cwd=tmp_path, tmpdir=tmp_path)
    assert done.returncode == 1
    assert "already holds orvex_audit.log" in done.stderr
    assert (tmp_path / "orvex_audit.log").read_text() == "earlier records\n"
