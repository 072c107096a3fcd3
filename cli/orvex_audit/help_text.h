// The manual page that `orvex-audit --help` prints.
#pragma once

#include <string_view>

namespace orvex::audit_tool {

inline constexpr std::string_view kHelpText = R"manual(NAME
    orvex-audit - check the signed audit log that orvex_core writes

SYNOPSIS
    orvex-audit pubkey
    orvex-audit verify [--public-key HEX]... [--keys FILE]... [--seals SEALFILE
                       [--anchor NAME=HEX]... [--anchors FILE]... [--require-sealed]
                       [--active LOG]... [--max-seal-age DURATION]] [--max-line-bytes N]
                       [-j N] [--format text|json] [--] [FILE ...]
    orvex-audit seal-init --key-file KEYFILE [--chain NAME]
    orvex-audit seal --key-file KEYFILE --seals SEALFILE [--] LOGFILE...
    orvex-audit seal --records-key --seals SEALFILE [--] LOGFILE...
    orvex-audit --help | --version

DESCRIPTION
    Every decision of orvex_core.validate_intent_json is appended to
    orvex_audit.log as one line: a compact JSON object signed with Ed25519
    under the key derived from ORVEX_SEED. A line alone is enough to check
    it: orvex-audit rebuilds the signed text from the line and checks the
    signature against the public key that the line carries. It needs no
    access to the seed to verify, only to print the public key.

COMMANDS
    pubkey
        Prints the 64 lowercase hexadecimal digits of the public key that
        ORVEX_SEED gives, followed by a line feed. The seed is read and
        checked exactly as the guard reads it for each record; a missing or
        malformed seed prints the guard's own failure text on standard
        error and exits with status 2. Run it where the guard runs, keep
        its output, and pin it when verifying.

    verify [--public-key HEX]... [--keys FILE]... [--seals SEALFILE] ... [FILE ...]
        Checks every line of each FILE in turn, or of standard input when
        no FILE is given ("-" also names standard input). A gzip-compressed
        input (recognised by its first two bytes, 1f 8b, whatever its name)
        is decompressed as it is read; a truncated or corrupt stream is a
        finding on the line where it breaks off. A directory is refused,
        and so is a FIFO, a socket or a device (standard input excepted):
        it is named on standard error at once, never waited on. The lines
        are checked on -j threads, and the report is the same byte for
        byte whatever their number. The input is read as a stream and no
        line's values are built, so memory is a small buffer plus at most
        about twice the longest line, plus 21 to 43 bytes for each valid
        record, to find repeats. A line longer than --max-line-bytes is an
        invalid record reported with its length; it is read to its line
        feed without being kept, inside gzip members too.

        A line is a valid record when all of these hold:
          - it ends with a line feed and holds no carriage return;
          - it is UTF-8 text and one JSON object, written compactly;
          - its members are exactly, in this order: timestamp, intent_id,
            objective, mode, version, action_params, result, reason,
            public_key, signature, each name spelt without escapes;
          - public_key is 64 and signature 128 lowercase hexadecimal digits;
          - with pinned keys (--public-key, --keys), public_key is one of
            them;
          - the signature is a valid Ed25519 signature, by public_key, of
            the signed text: the first eight members in ascending order of
            their names (action_params, intent_id, mode, objective, reason,
            result, timestamp, version), each value exactly as it stands in
            the line, joined as {"name":value,...} with no whitespace;
          - it does not repeat an earlier line of the inputs byte for byte
            (genuine records differ in their timestamps at least, so a
            repeat is a replayed record). Lines are compared by a 64-bit
            hash under a key drawn at random for each run; two different
            lines collide with a chance of about n*n/2^65 over n records.

        Without pinned keys, records signed by more than one key fail the
        run: a second key is as likely a forger's as a rotation, and only
        the operator can tell. Pin the trusted keys.

        With --seals, the seal file is checked first. A chain seal belongs
        to a pinned chain (--anchor, --anchors; with none pinned, the
        first chain seen is taken on trust and any other is reported);
        the chain's first seal is signed by its anchor, and every later
        one has the next sequence number, names the signature of the
        chain's seal before it and is signed by the key that seal named
        as the next. Each pinned chain must have a seal in the file. A
        first-format seal is trusted only when no anchor is pinned, and
        then must be signed by a pinned key (unpinned: by one key only)
        and name the signature of the seal line before it, the first
        naming none. Then each input that a seal names (by base name; NAME.gz
        stands for NAME, compressed after sealing) must begin with the
        sealed prefix of every seal of its file: the first BYTES bytes,
        hashing to the sealed SHA-256 and holding the sealed number of
        lines. A file sealed and then renamed is followed when a seal of
        its new name covers the very text (same length and SHA-256) of its
        last seal under the old name, or, once the old name is sealed over
        another file, when it was sealed under the new name from the same
        first record and at least as long (its input must then hold the
        old seals' text); a first record alone never links two names. A
        sealed file that is not among the inputs is reported missing. Records after the sealed part are reported as
        unsealed with their count; they fail the run only with
        --require-sealed, and never in an --active log.

    seal-init --key-file KEYFILE [--chain NAME]
        Starts a seal chain: makes a random Ed25519 key, writes it to
        KEYFILE (mode 0600; an existing file is never overwritten, exit
        status 2) and prints the chain's anchor, its first public key, as
        NAME=HEX and a line feed. NAME is the host name unless --chain
        gives one (1 to 64 letters, digits, ".", "_" or "-", not starting
        with "-"). Keep the anchor off the host: verify pins it.

    seal --key-file KEYFILE --seals SEALFILE LOGFILE...
        Appends to SEALFILE (created when missing, never truncated; locked
        while sealing) one chain seal per LOGFILE, covering its whole
        lines as they stand now: the chain's name, the seal's sequence
        number, the file's base name, byte length, line count, SHA-256,
        first and last record timestamps, the time of sealing, the
        signature of the chain's seal before it (null for the first), the
        public key that signs it and the public key that will sign the
        next seal. Each seal is made in steps: a new key is made and
        stored in KEYFILE as pending; the seal, signed by the current key
        and naming the pending one, is appended and synced; then KEYFILE
        holds the new key alone and the old file's bytes are overwritten.
        A run stopped at any step is finished by the next. The key of
        KEYFILE is never the one that signed an earlier seal. It chains
        only onto the seal that KEYFILE's chain made last: any other last
        line (another chain's seal, a foreign one) is named and nothing is
        appended; so is a seal file whose last line is not a seal. A
        LOGFILE that cannot be read (missing, a directory, damaged gzip)
        is reported and skipped, and so is a FIFO, a socket or a device; a
        seal file that is one of them is refused before it is locked.
        Prints nothing on success.

    seal --records-key --seals SEALFILE LOGFILE...
        The first format: seal lines without chain, sequence and next key,
        signed with the records' key from ORVEX_SEED (loaded as pubkey
        loads it; same failure texts, exit status 2, nothing written).
        Kept for seal files begun that way; whoever holds ORVEX_SEED (the
        guarded process too) can rewrite such seals.

OPTIONS
    --public-key HEX, --public-key=HEX
        Pins a key: a record signed by any key that is not pinned is
        reported as signed by a foreign key, whatever its signature. HEX is
        64 hexadecimal digits, either case. May be given several times
        (key rotation): a record is valid under any pinned key. Without
        pinning, anyone can sign a well-formed record with a key of their
        own, so an unpinned run only shows that each line is consistent
        with itself; it lists the keys seen so that the operator can judge
        them, notes on standard error that nothing was pinned, and fails
        when more than one key signed.

    --keys FILE, --keys=FILE
        Pins every key listed in FILE, one per line as for --public-key;
        blanks around a key are ignored, and blank lines and lines starting
        with # are skipped. A malformed line is a usage error that names
        the line, and so is a FILE that lists no key at all (say, once its
        last key was retired): it would otherwise pin nothing. May be
        given several times, and with --public-key.

    -h, --help
        Prints this manual and exits with status 0. Only as the command
        itself or as the command's first option (orvex-audit verify
        --help); anywhere else it is an unknown option, a usage error, so
        that a stray -h cannot pass for a successful check.

    --version
        Prints "orvex-audit VERSION" and exits with status 0; like --help,
        only as the command or its first option.

    --seals SEALFILE, --seals=SEALFILE
        verify: checks the seal chain in SEALFILE and the inputs against
        it. seal: the seal file to append to.

    --key-file KEYFILE, --key-file=KEYFILE
        seal-init: the sealing key file to create. seal: the sealing key
        file to sign with and replace; refused when others than its owner
        may read or write it.

    --chain NAME, --chain=NAME
        seal-init: the chain's name; the host name by default.

    --anchor NAME=HEX, --anchor=NAME=HEX
        verify --seals: pins chain NAME to its anchor, the public key that
        seal-init printed (64 hexadecimal digits, either case). May be
        given several times, one anchor per chain. With an anchor pinned,
        seals of other chains and first-format seals are findings.

    --anchors FILE, --anchors=FILE
        verify --seals: pins every anchor listed in FILE, one NAME=HEX per
        line; blanks around it are ignored, and blank lines and lines
        starting with # are skipped. A malformed line, or a file that
        lists no anchor, is a usage error.

    --require-sealed
        verify --seals: records after the sealed part of a file, or in a
        file that no seal names, fail the run, except in an --active log.

    --active LOG, --active=LOG
        verify --seals: LOG (compared by base name) is the active log,
        whose records after its sealed part are sealed at its next
        rotation: they are reported with their count but fail no run.

    --max-seal-age DURATION, --max-seal-age=DURATION
        verify --seals: a chain whose newest seal was made longer ago than
        DURATION (a whole number and s, m, h or d, as 26h; at most 3650d)
        fails the run. Cutting the newest seals off together with their
        files leaves a shorter chain that still verifies; on a host that
        seals on a schedule, its age shows the cut.

    --max-line-bytes N, --max-line-bytes=N
        verify: a line longer than N bytes (without its line feed) is an
        invalid record, "line of L bytes is longer than the limit of N
        bytes", passed over without being kept. N is 1 to 2^40; by default
        134217728 (128 MiB), far above the records the guard writes (a few
        hundred bytes; about 1.4 MB for an action carrying a 1 MiB document
        and 10,000 line items), so memory stays below about twice N
        whatever the input.

    -j N, -jN, --jobs N
        verify: checks lines on N threads (1 to 1024); by default one per
        processor this process may use.

    --format text|json
        verify: the report on standard output; text by default.

    --
        Ends the options; every later argument is a FILE.

OUTPUT
    For each bad line, one line on standard output with the input's name,
    the line number (from 1) and one reason:
        FILE:LINE: REASON
    The reasons are:
        torn line: the log ends without a line feed
        raw carriage return at column C
        not UTF-8 at column C
        not JSON: MESSAGE at column C
        not a JSON object
        whitespace between members at column C: records are compact
        member N is "NAME" where "EXPECTED" belongs
        missing member "NAME"
        extra member "NAME" after "signature"
        "public_key" is not 64 lowercase hexadecimal digits
        "signature" is not 128 lowercase hexadecimal digits
        signed by a foreign key HEX
        bad signature: the signed members do not match it
        repeats FILE:LINE byte for byte
        line of L bytes is longer than the limit of N bytes
    Columns count bytes from 1. Control bytes in a name or a reason (C0,
    DEL, C1) and bytes that are not UTF-8 are shown as \xHH, so that a
    file's name cannot add lines to the report or reach the terminal as
    an escape sequence; the JSON report holds them as JSON text. Then
    one summary line over all inputs:
        R records read: V valid, I invalid
    A repeat counts as invalid. Then, unless exactly one key is pinned,
    one line per distinct key that signed a valid record, in the order
    first seen:
        key HEX: N valid records
    and, when no key is pinned and more than one key signed, the line
        K keys signed valid records and none is pinned: pin the trusted
        ones with --public-key HEX or --keys FILE
    With --seals, findings about the seal file name it and its line,
    findings about a whole input name the input alone:
        SEALFILE:LINE: not a seal: REASON
        SEALFILE:LINE: bad seal signature: the seal's members do not match it
        SEALFILE:LINE: seal signed by a key that is not pinned HEX
        SEALFILE:LINE: seal of chain NAME, which has no pinned anchor
        SEALFILE:LINE: the first seal of chain NAME is signed by HEX, which
              is not its anchor
        SEALFILE:LINE: seal signed by HEX, not by the key that chain NAME's
              seal on line L names as the next
        SEALFILE:LINE: a first-format seal, signed with the records' key, is
              not trusted when seal anchors are pinned
        SEALFILE:LINE: the newest seal of chain NAME (SEALFILE:LINE) was
              made at TIME, longer ago than DURATION
        SEALFILE: chain NAME has no seal in SEALFILE
        SEALFILE:LINE: broken chain: REASON
        SEALFILE:LINE: NAME shrank between seals: ...
        SEALFILE:LINE: sealed file NAME is not among the inputs
        FILE: sealed part changed: the first N bytes do not match the seal
              at SEALFILE:LINE
        FILE: sealed part cut short: the file holds N bytes of the M sealed
              at SEALFILE:LINE
        FILE: N records after the sealed part are not sealed
        FILE: N records and no seal: nothing of this file is sealed
        FILE: N records and no seal yet: the active log, sealed at its
              next rotation
    and a damaged compressed input:
        FILE:LINE: gzip stream truncated after N bytes of text
        FILE:LINE: corrupt gzip stream after N bytes of text: REASON
    Errors opening or reading an input go to standard error, and the
    remaining inputs are still checked; when no input could be read at
    all, nothing is printed on standard output.

    With --format json, standard output holds one JSON object per line:
    each finding as {"file":F,"line":L,"kind":K,"detail":D} (line null for
    a finding about a whole input, file and line null for one about the
    whole run), in the order of the text report, then one summary object
    {"kind":"summary","records":R,"valid":V,"invalid":I} with "keys":
    [{"key":HEX,"valid":N},...] where the text report lists keys. The
    kinds are stable:
        torn-line              the input ends inside the line
        invalid-record         the line is not a valid record
        repeated-line          the record repeats an earlier line
        damaged-input          a truncated or corrupt gzip stream
        invalid-seal           a seal line that is no seal or not trusted
        broken-chain           a seal that does not follow the one before
        sealed-part-changed    a sealed prefix changed, cut short or shrunk
        sealed-file-missing    a sealed file that is not among the inputs
        unsealed-records       records no seal covers (fail only with
                               --require-sealed)
        several-keys-unpinned  nothing pinned and several keys signed
        foreign-chain          a seal of a chain that is not pinned (or,
                               with no anchor pinned, of a second chain)
        stale-chain            a pinned chain with no seal, or (with
                               --max-seal-age) whose newest seal is too old

EXIT STATUS
    0   every line of every input is a valid record (an empty log too)
    1   at least one line is not, or no key is pinned and more than one
        key signed valid records, or (--seals) any finding about the seals
        or the sealed files, or (--require-sealed) unsealed records
    2   usage error, an input that cannot be opened or read, output that
        cannot be written, or (pubkey, seal) a missing or malformed
        ORVEX_SEED, or (seal) a LOGFILE or the seal file that cannot be read
        or written, or (seal, seal-init) a key file that cannot be read,
        written or trusted, or (seal) a seal file whose last seal is not
        the one the key file's chain made

ENVIRONMENT
    ORVEX_SEED
        64 hexadecimal digits, either case, surrounding whitespace ignored:
        the Ed25519 seed. Read by pubkey and seal --records-key only;
        seal --key-file never reads it.

    ORVEX_AUDIT_CRASH_AT
        For testing recovery only: seal ends at once, with status 86, at
        the named step (pending-temp, pending-stored, seal-appended,
        next-temp, next-stored), as a kill would end it.

EXAMPLES
    Pin the key once, where the guard runs:
        orvex-audit pubkey > audit.pub
    Verify a log against it:
        orvex-audit verify --public-key "$(cat audit.pub)" orvex_audit.log
    Verify across a key rotation, the old and the new key pinned:
        orvex-audit verify --keys trusted.keys old_audit.log orvex_audit.log
    Start a seal chain once, keeping its anchor off the host:
        orvex-audit seal-init --key-file /etc/orvex/seal.key > anchors
    Seal each rotated log as it leaves the active log (see the logrotate
    recipe in examples/logrotate), then verify everything against the chain:
        orvex-audit seal --key-file /etc/orvex/seal.key \
            --seals orvex_audit.seals orvex_audit.log-20261209-020000
        orvex-audit verify --public-key "$(cat audit.pub)" --anchors anchors \
            --seals orvex_audit.seals --require-sealed --active orvex_audit.log \
            --max-seal-age 26h orvex_audit.log*
    Verify a log arriving on a pipe:
        zcat old_audit.log.gz | orvex-audit verify --public-key "$(cat audit.pub)"
)manual";

}  // namespace orvex::audit_tool
