#!/usr/bin/env python3
"""The algorithms of bench_script in CPython, for comparison on the same machine.

Run: python3 bench/script/bench_script.py   (prints wall and CPU milliseconds per run, best of 5;
compare the CPU figures with the CPU column of bench_script on a busy machine)
"""
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


def main():
    sys.setrecursionlimit(10000)
    for name, fn in [('IntegerLoop', integer_loop), ('StringBuilding', string_building),
                     ('Fibonacci', fibonacci), ('ArraySort', array_sort)]:
        best = cpu = None
        result = None
        for _ in range(5):
            t, c = time.perf_counter(), time.process_time()
            result = fn()
            ms = (time.perf_counter() - t) * 1000
            cms = (time.process_time() - c) * 1000
            best = ms if best is None else min(best, ms)
            cpu = cms if cpu is None else min(cpu, cms)
        print(f'{name:16s} {best:9.1f} ms wall {cpu:9.1f} ms CPU   result {result}')


if __name__ == '__main__':
    main()
