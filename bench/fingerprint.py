#!/usr/bin/env python3
"""Speed and memory of orvex_core.generate_logic_fingerprint.

Generates project manifests of 20 and of 1,000,000 entries (three quarters
mod surfaces, one quarter weight tables, in random order, with realistic
dotted names, a few of them non-ASCII, and random weights), and times in one
run, interleaved, the module call and the idiomatic Python
equivalent: json.loads, both lists sorted (stable) by the UTF-8 bytes of the
name, "%s:%.6f;" per entry, hashlib.sha256 of the joined text. Both must give
the same digest, or the run stops with status 1.

The 20-entry manifest is timed twice: as generated, and with its few
accented names spelled in ASCII (same shape, same numbers). The interpreter
hands a str over as UTF-8 through an encoder that copies an ASCII-only str
at memory speed but takes the rest one character at a time, and no other
way in is open to the module; the two rows show what that costs.

For the large manifest it also measures memory: a fresh interpreter reads the
manifest text from a file, resets its peak RSS (VmHWM, through
/proc/self/clear_refs) and makes one call; the growth of VmHWM across the call
is the call's peak memory, reported relative to the manifest's size in UTF-8
bytes. The text itself (held by the caller) is not counted; the UTF-8 copy the
module makes of it is.

Targets: module at least 10x faster at 20 entries and 5x at 1,000,000; peak
memory of the module call under twice the text size. Each is printed as PASS
or MISS; the exit status is 0 either way.
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
SPEEDUP_TARGET = {SMALL_ENTRIES: 10.0, LARGE_ENTRIES: 5.0}
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


def random_number(rng):
    """A weight as a mod author would write it: mostly fractions, some
    rounded, some integers, some negative."""
    kind = rng.random()
    if kind < 0.6:
        return rng.random()
    if kind < 0.8:
        return round(rng.uniform(0, 100), 2)
    if kind < 0.9:
        return rng.randrange(0, 1000)
    return rng.uniform(-10, 0)


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


def report_speed(entries, text_bytes, medians, samples, summary=None, variant=""):
    module_ns, python_ns = medians["module"], medians["python"]
    ratio = python_ns / module_ns
    target = SPEEDUP_TARGET[entries]
    print(f"{entries:>9} entries{variant}, {text_bytes:>10} bytes of text")
    for name in IMPLEMENTATIONS:
        spread = f"min {min(samples[name]) / 1e3:.1f} max {max(samples[name]) / 1e3:.1f}"
        print(f"    {name:<7} {medians[name] / 1e3:>12.1f} us/call (median of {len(samples[name])}; {spread})")
    print(f"    python/module {ratio:.2f}x   target >= {target:.0f}x   {verdict(ratio >= target)}")
    record_result(summary, "fingerprint", f"{entries} entries{variant}: Python time / module time", ratio,
                  f">= {target:.0f}x", ratio >= target)


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
    for small, variant in ((generated, ""), (ascii_spelling(generated), " (ASCII names)")):
        check_same_digest(small, f"{SMALL_ENTRIES} entries{variant}")
        calls = {name: calls_per_block(function, small) for name, function in IMPLEMENTATIONS.items()}
        medians, samples = time_interleaved(small, args.small_rounds, calls)
        report_speed(SMALL_ENTRIES, len(small.encode("utf-8")), medians, samples, args.summary, variant)

    SPEEDUP_TARGET.setdefault(args.large_entries, SPEEDUP_TARGET[LARGE_ENTRIES])
    started = time.perf_counter()
    large = make_manifest_text(args.large_entries, args.seed + 1)
    large_bytes = len(large.encode("utf-8"))
    print(f"(generated {args.large_entries} entries in {time.perf_counter() - started:.1f} s)")
    digest = check_same_digest(large, f"{args.large_entries} entries")
    medians, samples = time_interleaved(large, args.large_rounds, {name: 1 for name in IMPLEMENTATIONS})
    report_speed(args.large_entries, large_bytes, medians, samples, args.summary)

    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "manifest.json")
        with open(path, "w", encoding="utf-8") as manifest_file:
            manifest_file.write(large)
        del large
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
                record_result(args.summary, "fingerprint", f"{args.large_entries} entries: peak memory / text size",
                              ratio, f"< {MEMORY_TARGET:.0f}x", ratio < MEMORY_TARGET)
            print(line)


if __name__ == "__main__":
    main()
