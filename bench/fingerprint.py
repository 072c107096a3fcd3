#!/usr/bin/env python3
"""Speed and memory of orvex_core.generate_logic_fingerprint.

Generates project manifests and times in one run, interleaved, the module
call and the idiomatic Python equivalent: json.loads, both lists sorted
(stable) by the UTF-8 bytes of the name, "%s:%.6f;" per entry, hashlib.sha256
of the joined text. Both must give the same digest, or the run stops with
status 1.

The manifests:
- 20 entries (three quarters mod surfaces, one quarter weight tables) with
  realistic dotted names, a few of them non-ASCII, timed twice: as generated,
  and with its accented names spelled in ASCII (same shape, same numbers).
  The interpreter hands a str over as UTF-8 through an encoder that copies an
  ASCII-only str at memory speed but takes the rest one character at a time,
  and no other way in is open to the module; the two rows show what that
  costs.
- 1,000,000 entries of the same kind, each name followed by an index: names
  that tie on several eight-byte windows ("combat.melee.damage_scale_...").
- 1,000,000 entries named as generated packs name them: 500,000 surfaces
  "surface_<nine digits>" and 500,000 tables "weights_<nine digits>", every
  name of a list sharing its first eight bytes.

The weights are random, the fractional ones rounded to 14 decimals: both
the module and json.loads read those exactly (the module's reading of
longer ones, or of tiny ones, is by design not always the correctly rounded
one, which can move a sixth decimal), so the digests agree whatever the
seed.

For each large manifest it also measures memory: a fresh interpreter reads
the manifest text from a file, resets its peak RSS (VmHWM, through
/proc/self/clear_refs) and makes one call; the growth of VmHWM across the
call is the call's peak memory, reported relative to the manifest's size in
UTF-8 bytes. The text itself (held by the caller) is not counted; the UTF-8
copy the module makes of it is.

Targets: module at least 12x faster at 20 entries with ASCII names (10x with
the accented ones), 8x on the tie-heavy 1,000,000 and 12x on the generated
pack's; peak memory of the module call under twice the text size. Each is
printed as PASS or MISS; the exit status is 0 either way.
"""

import argparse
import gc
import hashlib
import json
import os
import platform
import random
import statistics
import subprocess
import sys
import tempfile
import time
import unicodedata

import orvex_core
from machine import cpu_model, record_result

SMALL_ENTRIES = 20
LARGE_ENTRIES = 1_000_000
# Python time / module time, by row.
SMALL_TARGET = 10.0
SMALL_ASCII_TARGET = 12.0
TIED_TARGET = 8.0
PACK_TARGET = 12.0
MEMORY_TARGET = 2.0  # peak growth / manifest text bytes
SMALL_BLOCK_SECONDS = 0.1  # length of one timed block for the small manifest

AREAS = ["combat", "economy", "ui", "world", "ai", "audio", "render", "quest", "crafting", "faction",
         "weather", "loot"]
PARTS = ["melee", "ranged", "trade", "hud", "spawn", "pathing", "music", "shadows", "dialogue", "forge",
         "reputation", "storm", "chest", "stealth", "mount"]
KNOBS = ["damage_scale", "reload_time", "merchant_markup", "minimap_zoom", "spawn_rate", "aggro_radius",
         "volume", "cascade_bias", "xp_reward", "durability", "standing_decay", "rain_chance", "drop_rate",
         "detection_range", "stamina_cost", "crit_chance", "cooldown", "price_floor", "patrol_gap",
         "fog_density", "épée_balance", "forgé_quality", "über_bonus", "niño_spawn", "façade_lod",
         "armor_pen", "heal_rate", "tax_rate", "respawn_delay", "torch_radius"]
TABLES = ["loot_table", "spawn_weights", "price_curve", "xp_curve", "rarity", "biome_mix"]
TIERS = ["common", "uncommon", "rare", "epic", "legendary", "tundra", "desert", "swamp", "coast"]
# Decimals of a generated fractional weight (all below 10 in magnitude).
WEIGHT_DECIMALS = 14


def exactly_read(x):
    """x (|x| < 10) to WEIGHT_DECIMALS decimals. Its shortest text then has
    at most 15 significant digits and no digit below 10**-14: the module
    reads it as an integer below 2**53 divided by an exact power of ten, one
    correctly rounded operation, so it gets the double json.loads gets."""
    return float(f"{x:.{WEIGHT_DECIMALS}f}")


def random_number(rng):
    """A weight as a mod author would write it: mostly fractions, some
    rounded, some integers, some negative."""
    kind = rng.random()
    if kind < 0.6:
        return exactly_read(rng.random())
    if kind < 0.8:
        return round(rng.uniform(0, 100), 2)
    if kind < 0.9:
        return rng.randrange(0, 1000)
    return exactly_read(rng.uniform(-10, 0))


def ascii_spelling(text):
    """The text with every accented letter replaced by its base letter."""
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")


def make_manifest_text(entries, seed):
    rng = random.Random(seed)
    tables = entries // 4
    surfaces = entries - tables
    # Small manifests have plain names; large ones need an index to stay
    # mostly distinct, as generated mod packs do.
    indexed = entries > len(AREAS) * len(PARTS)
    mod_surfaces = []
    for _ in range(surfaces):
        name = f"{rng.choice(AREAS)}.{rng.choice(PARTS)}.{rng.choice(KNOBS)}"
        if indexed:
            name += f"_{rng.randrange(100000)}"
        mod_surfaces.append({"Name": name, "Weight": random_number(rng)})
    weight_tables = []
    for _ in range(tables):
        key = f"{rng.choice(TABLES)}.{rng.choice(TIERS)}"
        if indexed:
            key += f".{rng.randrange(100000)}"
        weight_tables.append({"Key": key, "Value": random_number(rng)})
    return json.dumps({"ModSurfaces": mod_surfaces, "WeightTables": weight_tables}, ensure_ascii=False)


def make_pack_text(entries, seed):
    """A generated pack: half surfaces "surface_<nine digits>", half tables
    "weights_<nine digits>", in random order, random fractional weights."""
    rng = random.Random(seed)
    tables = entries // 2

    def named(prefix, count, name_key, number_key):
        return [{name_key: f"{prefix}{rng.randrange(10**8, 10**9)}", number_key: exactly_read(rng.random())}
                for _ in range(count)]

    return json.dumps({"ModSurfaces": named("surface_", entries - tables, "Name", "Weight"),
                       "WeightTables": named("weights_", tables, "Key", "Value")})


def python_fingerprint(manifest_json):
    """The same fingerprint the way a Python developer would write it."""
    manifest = json.loads(manifest_json)
    surfaces = sorted(manifest["ModSurfaces"], key=lambda s: s["Name"].encode("utf-8"))
    tables = sorted(manifest["WeightTables"], key=lambda t: t["Key"].encode("utf-8"))
    pieces = ["%s:%.6f;" % (s["Name"], s["Weight"]) for s in surfaces]
    pieces += ["%s:%.6f;" % (t["Key"], t["Value"]) for t in tables]
    return hashlib.sha256("".join(pieces).encode("utf-8")).hexdigest()


IMPLEMENTATIONS = {"module": orvex_core.generate_logic_fingerprint, "python": python_fingerprint}


def per_call_ns(function, text, calls):
    start = time.perf_counter_ns()
    for _ in range(calls):
        function(text)
    return (time.perf_counter_ns() - start) / calls


def calls_per_block(function, text):
    """Enough calls for one block of about SMALL_BLOCK_SECONDS."""
    once = max(per_call_ns(function, text, 10), 1.0)
    return max(1, int(SMALL_BLOCK_SECONDS * 1e9 / once))


def time_interleaved(text, rounds, calls):
    """Median per-call ns of each implementation; the two alternate so that
    machine noise hits both."""
    samples = {name: [] for name in IMPLEMENTATIONS}
    for _ in range(rounds):
        for name, function in IMPLEMENTATIONS.items():
            samples[name].append(per_call_ns(function, text, calls[name]))
    return {name: statistics.median(values) for name, values in samples.items()}, samples


def check_same_digest(text, label):
    module_digest = orvex_core.generate_logic_fingerprint(text)
    python_digest = python_fingerprint(text)
    if module_digest != python_digest:
        print(f"DIGEST MISMATCH at {label}: module {module_digest} python {python_digest}")
        sys.exit(1)
    return module_digest


def vm_kib(field):
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"{field} not in /proc/self/status")


def peak_memory_child(name, path):
    """Runs in a fresh interpreter: one call of `name` on the text in `path`;
    prints the peak RSS growth across the call as JSON."""
    function = IMPLEMENTATIONS[name]
    with open(path, encoding="utf-8") as manifest_file:
        text = manifest_file.read()
    gc.collect()
    try:
        # "5" resets VmHWM to the current RSS, so reading the text above
        # does not count towards the call's peak.
        with open("/proc/self/clear_refs", "w", encoding="ascii") as clear_refs:
            clear_refs.write("5")
        peak_was_reset = True
    except OSError:
        peak_was_reset = False
    before = vm_kib("VmHWM")
    digest = function(text)
    after = vm_kib("VmHWM")
    print(json.dumps({"growth_kib": after - before, "peak_was_reset": peak_was_reset, "digest": digest}))


def measure_peak_memory(name, path):
    completed = subprocess.run([sys.executable, os.path.abspath(__file__), "--peak-memory-child", name, path],
                               check=True, capture_output=True, text=True)
    return json.loads(completed.stdout)


def verdict(ok):
    return "PASS" if ok else "MISS"


def report_speed(label, text_bytes, medians, samples, target, summary=None):
    module_ns, python_ns = medians["module"], medians["python"]
    ratio = python_ns / module_ns
    print(f"{label}, {text_bytes:>10} bytes of text")
    for name in IMPLEMENTATIONS:
        spread = f"min {min(samples[name]) / 1e3:.1f} max {max(samples[name]) / 1e3:.1f}"
        print(f"    {name:<7} {medians[name] / 1e3:>12.1f} us/call (median of {len(samples[name])}; {spread})")
    print(f"    python/module {ratio:.2f}x   target >= {target:.0f}x   {verdict(ratio >= target)}")
    record_result(summary, "fingerprint", f"{label}: Python time / module time", ratio, f">= {target:.0f}x",
                  ratio >= target)


def report_peak_memory(label, large, digest, summary):
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "manifest.json")
        with open(path, "w", encoding="utf-8") as manifest_file:
            manifest_file.write(large)
        large_bytes = len(large.encode("utf-8"))
        print("    peak RSS growth across one call in a fresh interpreter (VmHWM after - before;"
              " the caller's str is not counted):")
        for name in IMPLEMENTATIONS:
            result = measure_peak_memory(name, path)
            if result["digest"] != digest:
                print(f"DIGEST MISMATCH in the memory run of {name}")
                sys.exit(1)
            growth = result["growth_kib"] * 1024
            ratio = growth / large_bytes
            note = "" if result["peak_was_reset"] else " (peak not resettable: a lower bound)"
            line = f"    {name:<7} {growth / 2**20:>9.1f} MiB = {ratio:.2f}x text{note}"
            if name == "module":
                line += f"   target < {MEMORY_TARGET:.0f}x   {verdict(ratio < MEMORY_TARGET)}"
                record_result(summary, "fingerprint", f"{label}: peak memory / text size", ratio,
                              f"< {MEMORY_TARGET:.0f}x", ratio < MEMORY_TARGET)
            print(line)


def run_large(label, make_text, entries, seed, rounds, target, summary):
    started = time.perf_counter()
    large = make_text(entries, seed)
    print(f"(generated {entries} entries in {time.perf_counter() - started:.1f} s)")
    digest = check_same_digest(large, label)
    medians, samples = time_interleaved(large, rounds, {name: 1 for name in IMPLEMENTATIONS})
    report_speed(label, len(large.encode("utf-8")), medians, samples, target, summary)
    report_peak_memory(label, large, digest, summary)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=20260301, help="random seed of the generated manifests")
    parser.add_argument("--small-rounds", type=int, default=15, help="timed blocks per implementation, 20 entries")
    parser.add_argument("--large-rounds", type=int, default=3, help="timed calls per implementation, 1M entries")
    parser.add_argument("--large-entries", type=int, default=LARGE_ENTRIES, help=argparse.SUPPRESS)
    parser.add_argument("--peak-memory-child", nargs=2, metavar=("IMPL", "PATH"), help=argparse.SUPPRESS)
    parser.add_argument("--summary", help="append the ratios as JSON lines to this file (used by bench/all.py)")
    args = parser.parse_args()
    if args.peak_memory_child:
        peak_memory_child(*args.peak_memory_child)
        return

    print(f"CPU: {cpu_model()}; Python {platform.python_version()}; orvex_core from {orvex_core.__file__}")

    generated = make_manifest_text(SMALL_ENTRIES, args.seed)
    for small, variant, target in ((generated, "", SMALL_TARGET),
                                   (ascii_spelling(generated), " (ASCII names)", SMALL_ASCII_TARGET)):
        label = f"{SMALL_ENTRIES} entries{variant}"
        check_same_digest(small, label)
        calls = {name: calls_per_block(function, small) for name, function in IMPLEMENTATIONS.items()}
        medians, samples = time_interleaved(small, args.small_rounds, calls)
        report_speed(label, len(small.encode("utf-8")), medians, samples, target, args.summary)

    n = args.large_entries
    run_large(f"{n} entries (tied names)", make_manifest_text, n, args.seed + 1, args.large_rounds, TIED_TARGET,
              args.summary)
    run_large(f"{n} entries (surface_<digits>)", make_pack_text, n, args.seed + 2, args.large_rounds, PACK_TARGET,
              args.summary)


if __name__ == "__main__":
    main()
