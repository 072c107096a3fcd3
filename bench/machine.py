"""What the benchmarks print about the machine they ran on."""

import platform


def cpu_model():
    with open("/proc/cpuinfo", encoding="utf-8") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor() or "unknown"


def record_result(path, benchmark, measure, value, target, passed):
    """Appends one figure to the summary file that bench/all.py tabulates."""
    if not path:
        return
    import json
    with open(path, "a", encoding="utf-8") as summary:
        summary.write(json.dumps({"benchmark": benchmark, "measure": measure, "value": value,
                                  "target": target, "pass": passed}) + "\n")
