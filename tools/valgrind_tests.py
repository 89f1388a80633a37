#!/usr/bin/env python3
"""Runs the tests of a native build under valgrind (memcheck).

    valgrind_tests.py BUILD_DIR

The tests are those that ctest lists in BUILD_DIR, taken program by program:

- a GoogleTest program (ctest runs it once per test, with --gtest_filter)
  runs once, all its tests in one process;
- any other test that is a program runs as ctest would run it;
- a test that is a script runs as ctest would run it, with every program of
  the build among its arguments replaced by one that starts that program
  under valgrind; the scripts in SKIPPED do not run.

Each program prints one line (outcome, errors, seconds); then the summary
line "valgrind: N test programs, E errors". Errors are memcheck's: invalid
reads and writes, uses of uninitialised values, bad frees and definite
leaks. The exit code is 0 when every test passed and there was no error.
"""
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

VALGRIND_ERROR_EXIT = 99

# Script tests that cannot run under valgrind, and why.
SKIPPED = {
    'sample_patch_demo':
        'its Ctrl-C step comes 1.5 s after the start, timed for a native start: under '
        'valgrind it arrives before patchkit catches it (patchkit run is covered by '
        'patchkit_build and kill_rerun)',
}

# Programs whose whole run would take too long under valgrind, and what
# they are given instead: the sweep tests every 7th operation (every kind of
# operation still comes up) and its second-fault sweep every 96th point.
NARROWED = {
    'reliability_sweep': ['--stride', '7', '--second-stride', '96'],
}

# Long enough for the slowest program under valgrind on a busy machine.
TIMEOUT_SECONDS = 1500


def valgrind_command(log_pattern):
    return [shutil.which('valgrind') or 'valgrind', '--error-exitcode=%d' % VALGRIND_ERROR_EXIT,
            '--leak-check=full', '--errors-for-leak-kinds=definite',
            '--show-leak-kinds=definite', '--child-silent-after-fork=yes', '--num-callers=30',
            '--log-file=' + log_pattern]


def is_program(path):
    try:
        with open(path, 'rb') as f:
            return f.read(4) == b'\x7fELF'
    except OSError:
        return False


def properties(test):
    return {p['name']: p['value'] for p in test.get('properties', [])}


def plan(build):
    """The programs to run: (label, kind, test count, command, properties)."""
    listing = subprocess.run(['ctest', '--test-dir', build, '--show-only=json-v1'],
                             check=True, capture_output=True, text=True).stdout
    runs, gtest = [], {}
    for test in json.loads(listing)['tests']:
        command = test.get('command') or []
        if not command:
            continue
        if any(arg.startswith('--gtest_filter=') for arg in command[1:]):
            if command[0] in gtest:
                gtest[command[0]][2] += 1
            else:
                gtest[command[0]] = [os.path.basename(command[0]), 'gtest', 1, [command[0]],
                                     properties(test)]
                runs.append(gtest[command[0]])
        elif is_program(command[0]):
            runs.append([test['name'], 'program', 1, command, properties(test)])
        else:
            runs.append([test['name'], 'script', 1, command, properties(test)])
    return runs


def wrapper(folder, program, log_prefix):
    """A script in folder that starts program under valgrind, each run
    logging to log_prefix + program name + process id."""
    path = os.path.join(folder, os.path.basename(program))
    if not os.path.exists(path):
        command = valgrind_command(log_prefix + os.path.basename(program) + '.%p.log')
        with open(path, 'w') as f:
            f.write('#!/bin/sh\nexec %s %s "$@"\n' % (shlex.join(command), shlex.quote(program)))
        os.chmod(path, 0o755)
    return path


def count_errors(text):
    """The errors of one log: its summary, or for a process that was killed
    (and so wrote none) its error reports, each a headline followed by the
    first line of a stack (the lines that explain one are indented further)."""
    summary = re.findall(r'ERROR SUMMARY: (\d+) errors', text)
    if summary:
        return sum(int(n) for n in summary)
    lines = text.splitlines()
    return sum(1 for headline, first in zip(lines, lines[1:])
               if re.match(r'==\d+== \S', headline) and re.match(r'==\d+==    at 0x', first))


def errors_in(logs, label):
    """Errors counted in the logs of one label, and the logs that hold any."""
    total, bad = 0, []
    prefix = label + '.'
    for name in sorted(os.listdir(logs)):
        if not name.startswith(prefix):
            continue
        with open(os.path.join(logs, name), errors='replace') as f:
            found = count_errors(f.read())
        if found:
            total += found
            bad.append(os.path.join(logs, name))
    return total, bad


def excerpt(log, lines=60):
    """The first error reports of a log, without valgrind's greeting."""
    with open(log, errors='replace') as f:
        text = f.read().splitlines()
    body = [line for line in text if not re.match(r'==\d+== (Memcheck|Copyright|Using Valgrind|'
                                                  r'Command|Parent PID)', line)]
    return '\n'.join(body[:lines])


def main():
    if len(sys.argv) != 2:
        print('usage: valgrind_tests.py BUILD_DIR', file=sys.stderr)
        return 2
    build = os.path.realpath(sys.argv[1])
    root = os.path.join(build, 'valgrind')
    logs, bin_folder = os.path.join(root, 'logs'), os.path.join(root, 'bin')
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(logs)
    os.makedirs(bin_folder)

    programs = errors = 0
    failed = False
    for label, kind, count, command, props in plan(build):
        if kind == 'script' and label in SKIPPED:
            print('valgrind %s: skipped, %s' % (label, SKIPPED[label]), flush=True)
            continue
        if kind == 'script':
            # The script's own label prefixes the logs of the programs it starts.
            folder = os.path.join(bin_folder, label)
            os.makedirs(folder)
            run = [command[0]] + [
                wrapper(folder, arg, os.path.join(logs, label + '.')) if
                (os.path.isabs(arg) and os.path.realpath(arg).startswith(build + os.sep) and
                 is_program(arg)) else arg for arg in command[1:]]
        else:
            run = valgrind_command(os.path.join(logs, label + '.%p.log')) + command
            run += NARROWED.get(label, [])
        env = dict(os.environ)
        for setting in props.get('ENVIRONMENT', []):
            key, _, value = setting.partition('=')
            env[key] = value
        start = time.monotonic()
        try:
            done = subprocess.run(run, cwd=props.get('WORKING_DIRECTORY', build), env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=TIMEOUT_SECONDS)
            code, output = done.returncode, done.stdout.decode('utf-8', 'replace')
        except subprocess.TimeoutExpired as timeout:
            code = 'timeout'
            output = (timeout.stdout or b'').decode('utf-8', 'replace')
        seconds = time.monotonic() - start
        found, bad = errors_in(logs, label)
        programs += 1
        errors += found
        what = '%d tests' % count if kind == 'gtest' else kind
        # Memcheck's exit code hides the program's own: a test program that
        # found errors passed if it reports no failed test.
        passed = code == 0 or (code == VALGRIND_ERROR_EXIT and kind != 'script' and
                               '[  FAILED  ]' not in output)
        outcome = 'passed' if passed else 'FAILED (exit %s)' % code
        print('valgrind %s: %s, %s, %d errors, %.1f s' % (label, what, outcome, found, seconds),
              flush=True)
        if not passed:
            failed = True
            print('\n'.join(output.splitlines()[-40:]))
        for log in bad:
            print('--- %s\n%s\n---' % (log, excerpt(log)))
    print('valgrind: %d test programs, %d errors' % (programs, errors))
    return 1 if failed or errors else 0


if __name__ == '__main__':
    sys.exit(main())
