"""Every example in the README and docs/*.md runs as written and prints what it shows."""

import textwrap

import pytest

from doc_blocks import RUNNABLE, documentation_files, fenced_blocks, run_block

BLOCKS = [block for path in documentation_files() for block in fenced_blocks(path)]
RUN = [block for block in BLOCKS if block.language in RUNNABLE and block.skip_reason is None]


def test_the_documents_hold_examples():
    assert len(RUN) >= 15, [block.name for block in RUN]


def test_every_fence_names_its_kind():
    """A bare fence would silently escape the runner: say python, pycon, sh, console or text."""
    assert [block.name for block in BLOCKS if not block.language] == []


@pytest.mark.parametrize("block", RUN, ids=[block.name for block in RUN])
def test_example_runs_as_written(block, tmp_path):
    problem = run_block(block, tmp_path)
    assert problem is None, "%s (%s):\n%s" % (block.name, block.language, problem)


# (kind, block text): each must be reported, so that the runner cannot pass everything.
BROKEN = [
    ("python", "raise SystemExit(3)\n"),
    ("python", "import orvex_core\norvex_core.validate_intent_json('{}', '{}', '{}')\n"),
    ("pycon", ">>> 1 + 1\n3\n"),
    ("pycon", ">>> import orvex_core\n>>> orvex_core.generate_logic_fingerprint('[[],[]]')\n'00...'\n"),
    ("sh", "false\necho never\n"),
    ("sh", "orvex-audit verify missing.log\n"),
    ("console", "$ echo one\ntwo\n"),
    ("console", "$ orvex-audit pubkey | wc -c\n64\n"),
]


@pytest.mark.parametrize("language, text", BROKEN, ids=[text.splitlines()[0] for _, text in BROKEN])
def test_the_runner_reports_a_broken_example(language, text, tmp_path):
    document = tmp_path / "broken.md"
    document.write_text("```%s\n%s```\n" % (language, text))
    [block] = fenced_blocks(document)
    scratch = tmp_path / "scratch"
    scratch.mkdir()
    assert run_block(block, scratch) is not None


def test_the_runner_accepts_wildcards_and_the_seed(tmp_path):
    """What the good cases rely on: `...` matches a key, and the seed and tools are there."""
    document = tmp_path / "good.md"
    document.write_text(textwrap.dedent("""\
        ```console
        $ orvex-audit pubkey
        ...
        $ orvex-audit pubkey | wc -c
        65
        ```
        <!-- not run: shows a skipped block -->
        ```python
        raise SystemExit(1)
        ```
        """))
    shown, skipped = fenced_blocks(document)
    assert skipped.skip_reason == "shows a skipped block"
    scratch = tmp_path / "scratch"
    scratch.mkdir()
    assert run_block(shown, scratch) is None
