"""No output channel carries seed material: for every way ORVEX_SEED can
fail, and for calls that succeed, the exception text, standard error, the
log and the output of `orvex-audit pubkey` and `orvex-audit verify` hold no
run of the seed's hexadecimal digits, in either letter case."""

import os
import shutil
import subprocess
import sys
import textwrap

import pytest

import orvex_core

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
LOG_NAME = "orvex_audit.log"
# Any run of this many digits of the seed counts as a leak. Shorter runs turn
# up by chance in public keys and signatures.
LEAK_RUN = 8

INTENT = ('{"id":"i","objective":"o","mode":"strict","version":"1",'
          '"constraints":[{"attribute":"amount","operator":"<=","value":100,"priority":0}]}')
ACTIONS = ('{"params":{"amount":150}}', '{"params":{"amount":50}}')

# Both decisions in a fresh interpreter; everything the caller could log is
# printed: outcomes, and the type and text of any exception.
DECIDE = textwrap.dedent("""
    import sys
    import orvex_core
    for action in sys.argv[2:]:
        try:
            print(orvex_core.validate_intent_json(sys.argv[1], action, '{"values":{}}'))
        except BaseException as error:
            print(type(error).__name__, error, repr(error))
""")

COMMAND = shutil.which("orvex-audit", path=os.pathsep.join([os.path.dirname(sys.executable),
                                                            os.environ.get("PATH", "")]))

CASES = {
    "valid": SEED.encode(),
    "valid, upper case, padded": b" " + SEED.upper().encode() + b"\n",
    "not UTF-8 at the end": SEED.encode() + b"\xff",
    "not UTF-8 inside": SEED[:40].encode() + b"\x80" + SEED[40:].encode(),
    "not UTF-8, cut-short sequence": b"\xe2\x82" + SEED.encode(),
    "odd length": SEED[:63].encode(),
    "bad character": SEED[:20].encode() + b"g" + SEED[21:].encode(),
    "prefixed": b"0x" + SEED.encode(),
    "too short": SEED[:62].encode(),
    "too long": SEED.encode() + b"00",
    "unset": None,
}


def leaked_runs(text):
    """The runs of LEAK_RUN seed digits found in `text`, either case."""
    folded = text.lower()
    return sorted({SEED[at:at + LEAK_RUN] for at in range(len(SEED) - LEAK_RUN + 1)
                   if SEED[at:at + LEAK_RUN] in folded})


def run(arguments, cwd, seed):
    env = {k: v for k, v in os.environb.items() if k != b"ORVEX_SEED"}
    if seed is not None:
        env[b"ORVEX_SEED"] = seed
    module_dir = os.path.dirname(os.path.abspath(orvex_core.__file__)).encode()
    env[b"PYTHONPATH"] = b":".join(filter(None, [module_dir, env.get(b"PYTHONPATH")]))
    done = subprocess.run(arguments, cwd=cwd, env=env, capture_output=True, timeout=120)
    return done.stdout.decode("utf-8", "replace") + done.stderr.decode("utf-8", "replace")


def test_the_leak_check_finds_the_seed():
    assert leaked_runs("x" + SEED.upper()[10:20] + "y") == sorted({SEED[at:at + 8] for at in range(10, 13)})
    assert leaked_runs("%r" % os.fsdecode(SEED[:9].encode() + b"\xff")) == [SEED[:8], SEED[1:9]]


@pytest.mark.parametrize("seed", CASES.values(), ids=CASES.keys())
def test_no_output_carries_seed_material(tmp_path, seed):
    assert COMMAND, "orvex-audit is not installed: run `make install`"
    outputs = {"guard": run([sys.executable, "-c", DECIDE, INTENT, *ACTIONS], tmp_path, seed),
               "pubkey": run([COMMAND, "pubkey"], tmp_path, seed)}
    log = tmp_path / LOG_NAME
    if log.exists():
        outputs["log"] = log.read_text(encoding="utf-8")
        outputs["verify"] = run([COMMAND, "verify", str(log)], tmp_path, seed)
    # Each case says what it is about: a decision or a seed failure.
    assert ("Constraint violation" in outputs["guard"]) == (seed is not None and seed.strip() in (
        SEED.encode(), SEED.upper().encode())), outputs["guard"]
    assert {name: leaked_runs(text) for name, text in outputs.items()} == {name: [] for name in outputs}
