#!/usr/bin/env python3
"""Prints the median wall times of a hyperfine JSON export and the ratio of each command to
the first one (the baseline), next to the target ratio given on the command line.

Usage: ratios.py EXPORT.json TITLE TARGET
"""
import json
import sys

path, title, target = sys.argv[1], sys.argv[2], float(sys.argv[3])
results = json.load(open(path))["results"]
base = results[0]["median"]
print(f"{title}")
for r in results:
    print(f"  {r['median'] * 1000:9.3f} ms  median of {len(r['times'])} runs  {r['command']}")
ratio = results[1]["median"] / base
verdict = "meets" if ratio <= target else "misses"
print(f"  ratio {ratio:.3f} (target <= {target}): {verdict} the target\n")
