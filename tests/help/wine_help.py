#!/usr/bin/env python3
"""Runs the help probe (hh_probe.exe) under Wine, headless, in a Wine prefix of the build.

  wine_help.py prefix PREFIX
      Creates the prefix once (wineboot -i); a prefix left half made is made again.
  wine_help.py probe PREFIX PROBE CHM CONTEXT PAGE [CONTEXT PAGE ...] [--expect-wrong-page]
      Runs the probe on an X server of its own (xvfb-run -a) and passes its exit status on.
      With --expect-wrong-page the probe must report that a context's window goes to another
      page (a file with a broken context map); exits 77 (skipped) when every page is right.

Every Wine process of the prefix is ended afterwards (wineserver -k), also after a timeout."""

import os
import shutil
import signal
import subprocess
import sys

SKIPPED = 77
READY_MARK = '.tc-prefix-ready'


def wine_environment(prefix):
    environment = dict(os.environ)
    environment.update({
        'WINEPREFIX': prefix,
        'WINEDEBUG': '-all',
        # No Mono or Gecko installers: nothing here needs them and there is no network.
        'WINEDLLOVERRIDES': 'mscoree=',
    })
    return environment


def run(command, environment, timeout):
    """Runs `command` in a session of its own; on timeout the whole session is ended."""
    process = subprocess.Popen(command, env=environment, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, errors='replace',
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output


def end_wine(environment):
    subprocess.run(['wineserver', '-k'], env=environment, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)


def make_prefix(prefix):
    if os.path.exists(os.path.join(prefix, READY_MARK)):
        print('Wine prefix ready: %s' % prefix)
        return 0
    shutil.rmtree(prefix, ignore_errors=True)
    environment = wine_environment(prefix)
    environment['WINEDLLOVERRIDES'] = 'mscoree,mshtml='  # no installer dialogs while booting
    status, output = run(['wineboot', '-i'], environment, timeout=300)
    if status == 0:
        status, more = run(['wineserver', '-w'], environment, timeout=120)
        output += more
    end_wine(environment)
    print(output, end='')
    if status != 0:
        print('wineboot -i failed (%s)' % ('timeout' if status is None else 'exit %d' % status))
        return 1
    with open(os.path.join(prefix, READY_MARK), 'w') as mark:
        mark.write('made by wineboot -i\n')
    print('Wine prefix made: %s' % prefix)
    return 0


def windows_path(path):
    """Wine's drive Z: is the root of the Unix file system."""
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def probe(prefix, arguments):
    expect_wrong_page = '--expect-wrong-page' in arguments
    arguments = [argument for argument in arguments if argument != '--expect-wrong-page']
    probe_exe, chm, pairs = arguments[0], arguments[1], arguments[2:]
    if not os.path.exists(os.path.join(prefix, READY_MARK)):
        print('the Wine prefix %s has not been made' % prefix)
        return 1
    environment = wine_environment(prefix)
    command = ['xvfb-run', '-a', '-s', '-screen 0 1024x768x24',
               'wine', probe_exe, windows_path(chm)] + pairs
    try:
        status, output = run(command, environment, timeout=150)
    finally:
        end_wine(environment)
    # Wine's own notes (a missing 32-bit loader, no Gecko to draw pages) are not the probe's.
    for line in output.splitlines():
        if not line.startswith('wine: ') and 'X connection' not in line:
            print(line)
    if status is None:
        print('the probe did not end within 150 s')
        return 1
    if not expect_wrong_page:
        return status
    if status == 0:
        print('every context showed its page: this file has a working context map')
        return SKIPPED
    if status == 1 and 'expected page' in output:
        print('as expected, a context of this file goes to a page that is not there')
        return 0
    return status


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == 'prefix':
        return make_prefix(sys.argv[2])
    if len(sys.argv) >= 7 and sys.argv[1] == 'probe':
        return probe(sys.argv[2], sys.argv[3:])
    print(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main())
