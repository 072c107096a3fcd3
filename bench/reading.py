#!/usr/bin/env python3
"""Decoding a large state document: orvex_core against orjson.

Generates a state document whose `values` hold about 50 MB of JSON (numbers
of every kind, strings with and without escapes and non-ASCII letters,
nested objects and arrays), then times, interleaved, one
`validate_intent_json` call that has to decode it (the intent and action are
tiny and have no constraints, so the decision, the signature and the record
cost a few tens of microseconds of a call of many milliseconds) against
`orjson.loads` of the same text. Both sides include freeing what they built.
Target: the module's decode at least as fast as orjson's. PASS or MISS is
printed; the exit status is 0 either way.
"""

import argparse
import gc
import json
import os
import platform
import random
import statistics
import tempfile
import time

import orjson

import orvex_core
from machine import cpu_model, record_result

SEED_HEX = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
INTENT = json.dumps({"id": "read-bench", "objective": "decode", "mode": "strict", "version": "1", "constraints": []})
ACTION = json.dumps({"params": {}})
WORDS = ["alpha", "beta", "gamma", "vendor", "amount", "region", "eu", "us", "naïve", "café", "line\nbreak", "quo\"te"]


def generated_value(rng, depth):
    r = rng.random()
    if depth < 4 and r < 0.15:
        return {f"{rng.choice(WORDS)}_{i}": generated_value(rng, depth + 1) for i in range(rng.randrange(1, 8))}
    if depth < 4 and r < 0.25:
        return [generated_value(rng, depth + 1) for _ in range(rng.randrange(0, 8))]
    if r < 0.45:
        return rng.randrange(-10**6, 10**12)
    if r < 0.65:
        return round(rng.uniform(-1e4, 1e4), rng.randrange(0, 8))
    if r < 0.9:
        return " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 6)))
    return rng.choice([True, False, None])


def make_state_text(target_bytes, seed):
    rng = random.Random(seed)
    values, size, i = {}, 0, 0
    while size < target_bytes:
        value = generated_value(rng, 0)
        values[f"key_{i}"] = value
        size += len(json.dumps(value)) + 12
        i += 1
    return json.dumps({"values": values}, ensure_ascii=False)


def time_module(text):
    gc.collect()
    started = time.perf_counter_ns()
    assert orvex_core.validate_intent_json(INTENT, ACTION, text) is True
    return time.perf_counter_ns() - started


def time_orjson(text):
    gc.collect()
    started = time.perf_counter_ns()
    value = orjson.loads(text)
    del value
    return time.perf_counter_ns() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--megabytes", type=float, default=50.0, help="size of the generated values")
    parser.add_argument("--rounds", type=int, default=5, help="timed calls of each")
    parser.add_argument("--summary", help="append the ratio as JSON lines to this file (used by bench/all.py)")
    args = parser.parse_args()

    print(f"CPU: {cpu_model()}; Python {platform.python_version()}; orjson {orjson.__version__}")
    text = make_state_text(int(args.megabytes * 1e6), 20260301)
    print(f"state document: {len(text.encode('utf-8'))} bytes")
    os.environ["ORVEX_SEED"] = SEED_HEX
    home = os.getcwd()
    samples = {"module": [], "orjson": []}
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        try:
            for _ in range(args.rounds):
                samples["module"].append(time_module(text))
                samples["orjson"].append(time_orjson(text))
        finally:
            os.chdir(home)
    medians = {name: statistics.median(values) for name, values in samples.items()}
    for name, values in samples.items():
        print(f"    {name:<7} {medians[name] / 1e6:9.1f} ms (median of {len(values)}; "
              f"min {min(values) / 1e6:.1f} max {max(values) / 1e6:.1f})")
    ratio = medians["orjson"] / medians["module"]
    print(f"    orjson/module {ratio:.2f}x   target >= 1x   {'PASS' if ratio >= 1 else 'MISS'}")
    record_result(args.summary, "reading", "50 MB state: orjson time / module time", ratio, ">= 1x", ratio >= 1)


if __name__ == "__main__":
    main()
