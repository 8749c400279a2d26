#!/usr/bin/env bash
# Bad data against the real show, under virtual X servers with the dummy audio driver. Every case
# runs a copy of the program in a fresh folder beside a damaged copy of tavremon.yip:
#   the archive missing, a 0-byte archive, a local-header walk fault halfway through, and for every
#   member in turn (the module, each mesh, each texture, the .3DS scene): the member missing, its
#   content cut to half, and random bytes of its stored data flipped.
# A case either plays (the show window comes up and ends with exit code 0 when sent Esc after a
# second: the loading picture, then the opening), or stops with its message: "BASS can't music
# load file." and exit code 1 when the module cannot be loaded, the engine's message box and exit
# code 0 when the scene cannot.
# Nothing may crash, hang, exit otherwise, or print a sanitizer report.
# The window only ever reaches the opening scene, so every case that damages a mesh or the scene
# also renders the whole show headless with tavremon-capture (2 frames a second, tiny pictures):
# each scene must draw whatever was loaded, to the end of the song.
#
# The cases are shared out between two workers, each with its own X server. Extra arguments after
# the two folders pick cases by substring (for reruns by hand).
set -u
build=$(cd "$1" && pwd)
shift 2 2>/dev/null || shift $#
for tool in xvfb-run xdotool xwininfo python3; do
  command -v $tool >/dev/null || { echo "$tool is needed"; exit 1; }
done
[ -x "$build/tavremon" ] && [ -f "$build/tavremon.yip" ] || { echo "build the show first"; exit 1; }

work=$(mktemp -d /tmp/tav-bad-data.XXXXXX)
trap 'rm -rf "$work"' EXIT

cat > "$work/matrix.py" <<'EOF'
import os, random, shutil, struct, subprocess, sys, time, zlib

DIALOG = '  Tavremon:54 setup.'
SHOW = 'zelta!morbakunz'
BOXES = ('Error', 'Error...', 'Error ...')
MUSIC_MESSAGE = "BASS can't music load file."
ENGINE_MESSAGE = 'Brontavel3D Error'
SANITIZER_MARKS = ('ERROR: AddressSanitizer', 'ERROR: LeakSanitizer', 'runtime error:', 'SUMMARY: UndefinedBehaviorSanitizer')


# ---- the archive, as the show reads it: local headers from the start ----------------------------

class Member:
    pass

def walk(data):
    members, at = [], 0
    while at + 30 <= len(data):
        signature, method, csize, usize, nlen, xlen = (struct.unpack_from('<I', data, at)[0],
            *struct.unpack_from('<H', data, at + 8), *struct.unpack_from('<II', data, at + 18),
            *struct.unpack_from('<HH', data, at + 26))
        if signature != 0x04034B50:
            break
        m = Member()
        m.header = at
        m.name = data[at + 30:at + 30 + nlen].decode('latin-1')
        m.method = method
        m.start = at + 30 + nlen + xlen
        m.end = m.start + csize
        raw = data[m.start:m.end]
        m.content = raw if method == 0 else zlib.decompress(raw, -15)
        assert len(m.content) == usize
        members.append(m)
        at = m.end
    return members

def record(name, method, content):
    """One local header with sizes and its data, stored or deflated."""
    if method == 8:
        packer = zlib.compressobj(9, zlib.DEFLATED, -15)
        packed = packer.compress(content) + packer.flush()
    else:
        packed = content
    encoded = name.encode('latin-1')
    return struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, 0, method, 0, 0x21, zlib.crc32(content),
                       len(packed), len(content), len(encoded), 0) + encoded + packed

# The walk ends at the first central directory header; nothing of it is read.
CENTRAL = b'PK\x01\x02' + bytes(42)


# ---- the cases -----------------------------------------------------------------------------------

def kind(name):
    lower = name.lower()
    if lower.endswith('.mo3'): return 'module'
    if lower.endswith('.3ds'): return 'scene'
    return 'data'

def expectation(case_kind):
    # What may end a case besides playing: the music failure is only acceptable when the module
    # itself is damaged, the engine's message only when the .3DS scene is.
    return {'module': 'music', 'scene': 'engine', 'data': 'play'}[case_kind]

def cases(build):
    """(label, expectation, must fail, the archive's bytes or None) for every case, in order."""
    original = open(os.path.join(build, 'tavremon.yip'), 'rb').read()
    members = walk(original)
    records = [original[m.header:m.end] for m in members]

    yield 'archive-missing', 'music', True, lambda: None
    yield 'archive-empty', 'music', True, lambda: b''

    def walk_fault():
        # A broken signature halfway: the members before it stay readable, the .3DS scene (last)
        # is gone, so the engine reports the missing file.
        broken = bytearray(original)
        fault = members[len(members) // 2].header
        broken[fault:fault + 4] = b'PK\x07\x07'
        return bytes(broken)
    yield 'header-walk-fault', 'engine', True, walk_fault

    for i, m in enumerate(members):
        safe = ''.join(c if c.isalnum() or c in '._-' else '_' for c in m.name)
        expect = expectation(kind(m.name))
        before, after = records[:i], records[i + 1:]

        def missing(before=before, after=after):
            return b''.join(before + after) + CENTRAL

        def half(before=before, after=after, m=m):
            cut = record(m.name, m.method, m.content[:len(m.content) // 2])
            return b''.join(before + [cut] + after) + CENTRAL

        def flipped(m=m):
            damaged = bytearray(original)
            rng = random.Random(m.name)
            for _ in range(8):
                at = rng.randrange(m.start, m.end)
                damaged[at] ^= rng.randrange(1, 256)
            return bytes(damaged)

        yield 'missing-' + safe, expect, expect != 'play', missing
        yield 'half-' + safe, expect, False, half
        yield 'flipped-' + safe, expect, False, flipped


# ---- one run of the show -------------------------------------------------------------------------

def windows():
    text = subprocess.run(['xwininfo', '-root', '-tree'], capture_output=True, text=True,
                          errors='replace').stdout
    found = {}
    for line in text.splitlines():
        parts = line.strip().split(' ', 1)
        if len(parts) == 2 and parts[0].startswith('0x') and parts[1].startswith('"'):
            title = parts[1][1:parts[1].find('":')] if '":' in parts[1] else None
            if title is not None:
                found.setdefault(title, parts[0])
    return found

def press(window, key):
    subprocess.run(['xdotool', 'windowfocus', '--sync', window], capture_output=True, timeout=5)
    subprocess.run(['xdotool', 'key', key], capture_output=True, timeout=5)

def run_capture(build, folder):
    """The whole show headless from the case's archive; problems found, if any."""
    env = dict(os.environ)
    env.pop('DISPLAY', None)  # an engine message box must not wait for a click
    try:
        done = subprocess.run([os.path.join(build, 'tavremon-capture'), '--out', os.path.join(folder, 'capture'),
                               '--data', os.path.join(folder, 'tavremon.yip'), '--fps', '2', '--size', '80x60',
                               '--every', '100000'], env=env, capture_output=True, timeout=300)
    except subprocess.TimeoutExpired:
        return ['capture: no end within 300 s'], ''
    output = (done.stdout + done.stderr).decode('latin-1')
    problems = ['capture: ' + mark for mark in SANITIZER_MARKS if mark in output]
    if done.returncode != 0:
        problems.append('capture: exit code %d' % done.returncode)
    return problems, output

def run_case(build, root, label, expect, must_fail, archive):
    folder = os.path.join(root, label)
    os.makedirs(folder)
    shutil.copy2(os.path.join(build, 'tavremon'), folder)
    if archive is not None:
        open(os.path.join(folder, 'tavremon.yip'), 'wb').write(archive)
    env = dict(os.environ, SDL_AUDIODRIVER='dummy')
    log = open(os.path.join(folder, 'show.log'), 'wb')
    started = time.monotonic()
    show = subprocess.Popen(['./tavremon'], cwd=folder, env=env, stdout=log, stderr=subprocess.STDOUT)
    dialog_done = False
    shown_at = esc_at = None
    boxes = set()
    hang = None
    while show.poll() is None:
        now = time.monotonic()
        if now - started > 90 or (esc_at and now - esc_at > 20):
            hang = 'no end %s' % ('after Esc' if esc_at else 'within 90 s')
            show.kill()
            show.wait()
            break
        titles = windows()
        if not dialog_done and DIALOG in titles:
            time.sleep(0.3)
            press(titles[DIALOG], 'Return')
            dialog_done = True
        open_boxes = [titles[b] for b in BOXES if b in titles]
        for box in open_boxes:
            if box not in boxes:
                boxes.add(box)
                time.sleep(0.2)
                press(box, 'Return')
        if SHOW in titles and shown_at is None:
            shown_at = now
        if shown_at and not esc_at and not open_boxes and SHOW in titles and now - shown_at >= 1.0:
            press(titles[SHOW], 'Escape')
            esc_at = now
        time.sleep(0.1)
    log.close()
    code = show.returncode
    output = open(os.path.join(folder, 'show.log'), 'rb').read().decode('latin-1')
    seconds = time.monotonic() - started

    problems = []
    if hang:
        problems.append(hang)
    elif code < 0:
        problems.append('killed by signal %d' % -code)
    for mark in SANITIZER_MARKS:
        if mark in output:
            problems.append('sanitizer report (%s)' % mark)
    music_failed = MUSIC_MESSAGE in output
    engine_failed = ENGINE_MESSAGE in output
    if not hang and code >= 0:
        if music_failed:
            if expect != 'music': problems.append('music failure with an intact module')
            if code != 1: problems.append('music failure with exit code %d' % code)
        elif code != 0:
            problems.append('exit code %d' % code)
        if engine_failed and expect != 'engine':
            problems.append('engine error with an intact scene')
        played = esc_at is not None and not music_failed and not engine_failed
        if not (played or music_failed or engine_failed):
            problems.append('ended before Esc without a message')
        if must_fail and played:
            problems.append('played though its data is missing')
    if archive is not None and (label.endswith('.p3d') or label.endswith('.p3D') or label.endswith('.3DS')
                                or label == 'header-walk-fault'):
        found, captured = run_capture(build, folder)
        problems += found
        output += captured
        label += ' +capture'
        seconds = time.monotonic() - started
    outcome = 'music failure' if music_failed else 'engine error' if engine_failed else 'played' if esc_at else '?'
    return problems, '%-34s %-13s exit %-3s %4.1f s' % (label, outcome, code, seconds), output

def worker(build, root, index, count, filters):
    chosen = [c for c in cases(build) if not filters or any(f in c[0] for f in filters)]
    failures = 0
    for label, expect, must_fail, make_archive in chosen[index::count]:
        for attempt in range(3):
            problems, line, output = run_case(build, root, label, expect, must_fail, make_archive())
            shutil.rmtree(os.path.join(root, label))
            # The setup dialog failing to reach the X server says nothing about the data (the
            # archive is not touched before the dialog), so try again. (The servers run with
            # -noreset: a server that resets when its last client leaves refuses the next one.)
            if 'Failed: CreateDialog()' not in output:
                break
        if attempt:
            line += ' (%d retries: no dialog)' % attempt
        if problems:
            failures += 1
            print('FAIL ' + line + ': ' + '; '.join(problems))
            print('     ' + output.strip().replace('\n', '\n     ')[-3000:])
        else:
            print('ok   ' + line)
        sys.stdout.flush()
    return failures

if __name__ == '__main__':
    build, root, index, count = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    sys.exit(1 if worker(build, root, index, count, sys.argv[5:]) else 0)
EOF

workers=2
pids=()
for i in $(seq 0 $((workers - 1))); do
  # xvfb-run -a takes the first free display number from where -n says; a random start keeps
  # servers started at the same moment (ours, or other tests') apart.
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" \
    python3 "$work/matrix.py" "$build" "$work" $i $workers "$@" > "$work/worker$i.log" 2>&1 &
  pids+=($!)
  sleep 2
done
status=0
for pid in "${pids[@]}"; do wait $pid || status=1; done
cat "$work"/worker*.log
passed=$(cat "$work"/worker*.log | grep -c '^ok ')
failed=$(cat "$work"/worker*.log | grep -c '^FAIL ')
echo "$passed passed, $failed failed"
[ $status = 0 ] && [ "$failed" = 0 ] && [ "$passed" -gt 0 ]
