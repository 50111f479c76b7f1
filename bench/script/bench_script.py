#!/usr/bin/env python3
"""The algorithms of bench_script in CPython, for comparison on the same machine.

Run: python3 bench/script/bench_script.py   (prints wall and CPU milliseconds per run, best of 5;
compare the CPU figures with the CPU column of bench_script on a busy machine)

     python3 bench/script/bench_script.py --against build/bench/bench_script [--rounds 7]
     (runs CPython and the engine in turn, one workload at a time, so that both see the same load,
     and prints the median CPU milliseconds of each, their ratio and the load average)
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time


def integer_loop():
    s = 0
    for i in range(1, 10000001):
        s = s + i
    return s


def string_building():
    s = ''
    for i in range(1, 1000001):
        s = s + str(i % 10)
    return len(s)


def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)


def fibonacci():
    return fib(27)


def array_sort():
    a = [0] * 200000
    seed = 12345
    for i in range(len(a)):
        seed = (seed * 1103515245 + 12345) % 2147483648
        a[i] = seed % 1000000

    def sort(lo, hi):
        i, j = lo, hi
        p = a[(lo + hi) // 2]
        while True:
            while a[i] < p:
                i += 1
            while a[j] > p:
                j -= 1
            if i <= j:
                a[i], a[j] = a[j], a[i]
                i += 1
                j -= 1
            if i > j:
                break
        if lo < j:
            sort(lo, j)
        if i < hi:
            sort(i, hi)

    sort(0, len(a) - 1)
    for i in range(1, len(a)):
        if a[i - 1] > a[i]:
            return -1
    return a[0] + a[-1]


WORKLOADS = [('IntegerLoop', integer_loop), ('StringBuilding', string_building),
             ('Fibonacci', fibonacci), ('ArraySort', array_sort)]


def python_run(fn):
    """One run: (CPU ms, wall ms, result)."""
    t, c = time.perf_counter(), time.process_time()
    result = fn()
    return (time.process_time() - c) * 1000, (time.perf_counter() - t) * 1000, result


def engine_run(binary, name):
    """One run of the engine's benchmark of that name: (CPU ms, wall ms)."""
    out = subprocess.run([binary, f'--benchmark_filter=^BM_{name}$', '--benchmark_format=json',
                          '--benchmark_repetitions=3', '--benchmark_report_aggregates_only=true'],
                         check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)['benchmarks'] if b.get('aggregate_name') == 'median']
    scale = {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1000.0}[runs[0]['time_unit']]
    return runs[0]['cpu_time'] * scale, runs[0]['real_time'] * scale


def compare(binary, rounds):
    print(f'load average before: {" ".join(f"{x:.2f}" for x in os.getloadavg())}')
    print(f'{"workload":16s} {"CPython ms":>11s} {"engine ms":>10s} {"ratio":>6s}   (CPU time, medians of '
          f'{rounds} rounds; wall in brackets)')
    for name, fn in WORKLOADS:
        py, eng = [], []
        for _ in range(rounds):
            py.append(python_run(fn)[:2])
            eng.append(engine_run(binary, name))
        pc = statistics.median(x[0] for x in py)
        ec = statistics.median(x[0] for x in eng)
        pw = statistics.median(x[1] for x in py)
        ew = statistics.median(x[1] for x in eng)
        print(f'{name:16s} {pc:11.1f} {ec:10.1f} {pc / ec:6.2f}   [{pw:.1f} / {ew:.1f} = {pw / ew:.2f}]')
    print(f'load average after: {" ".join(f"{x:.2f}" for x in os.getloadavg())}')


def main():
    sys.setrecursionlimit(10000)
    parser = argparse.ArgumentParser()
    parser.add_argument('--against', help='the bench_script program to compare with')
    parser.add_argument('--rounds', type=int, default=7)
    args = parser.parse_args()
    if args.against:
        compare(args.against, args.rounds)
        return
    for name, fn in WORKLOADS:
        best = cpu = None
        result = None
        for _ in range(5):
            cms, ms, result = python_run(fn)
            best = ms if best is None else min(best, ms)
            cpu = cms if cpu is None else min(cpu, cms)
        print(f'{name:16s} {best:9.1f} ms wall {cpu:9.1f} ms CPU   result {result}')


if __name__ == '__main__':
    main()
