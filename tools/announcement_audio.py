"""Hearing the announcement: a private PulseAudio server with a null sink, a recorder of that sink in
10 ms fragments (tsrec.c) and the onset detector that finds each clip in the recording.
Shared by tools/measure-announcement.py and the end-to-end suite (tests/e2e/masaustu.py)."""
import array, math, os, signal, subprocess, tempfile, time, wave
from operator import mul

here = os.path.dirname(os.path.abspath(__file__))
# Our own recorder, kept beside this script; a checkout beside the shared folder may still use that one.
tsrec_src = next((p for p in (os.path.join(here, "tsrec.c"), os.path.join(here, "..", "..", "shared", "tools", "tsrec.c"))
                  if os.path.exists(p)), os.path.join(here, "tsrec.c"))

RATE = 22050           # the clips' rate; the recording is brought down to it
BLOCK = RATE // 100    # a clip is followed through the recording in 10 ms blocks
COARSE = 8             # onsets are proposed at an eighth of the rate ...
TEMPLATE_MS = 120      # ... from the clip's opening, then judged on the whole clip
# A clip counts as heard where its whole length, followed block by block, correlates with the recording
# at MATCH or more and MARGIN above every other clip at the same place. Its opening alone cannot tell:
# the voice starts every word alike, and the first 120 ms of "bir" match "yedi" at 0.85. Whole, the
# right clip scores above 0.95 (0.9 with dropouts and resampling) and the others stay below 0.7.
MATCH = 0.6
MARGIN = 0.15
BLOCK_OK = 0.5         # a loud block that correlates less is not there
STRONG_RMS = 1000      # a 10 ms block of a clip loud enough to say whether the recording holds it
# A player that falls behind leaves the server without data: it plays silence and then the rest of the
# clip, later (an underrun). A clip is followed across such dropouts up to this much in all (with both
# cores busy, three in 40 ms and 99 ms in one clip were seen), and back by up to MAX_DROP_MS at a time
# where it skipped ahead or where a block only seemed to fit a dropout.
MAX_GAP_MS = 250
MAX_DROP_MS = 40
TAIL_MS = 100          # sound right after a clip's end that the clip does not explain counts against it
RIVAL_MS = 60          # the other clips are tried this close to the found onset
TOLERANCE_MS = 30
# A clip counts as heard in full when it reaches its audible end to within this: a dropout in its last
# loud 20 ms cannot be told from a cut, and a cut that short is not heard.
HEARD_SLACK_MS = 20
# What the end-to-end suites hold a clip to: what a listener accepts, not what the engine gives on a quiet
# machine. On a busy machine (load 5 to 12 on two cores) the server's own underruns put clips up to 156 ms
# off their second and cut up to 50 ms of a clip's fading end; neither is heard as a wrong or late time.
# A quarter second, as for the opening after the key. The engine's own figure (TOLERANCE_MS, and +-5 ms
# measured) is held by the benchmark.
LISTENER_MS = 250
LISTENER_CUT_MS = 80
KEY_SLACK_MS = 40      # how far before the key the opening may seem to come (the recorder's clock)
PATH_MS = 60           # --check: from a play call to its clip's onset in the recording


def clip_names(hhmm):
    """The clips of an announcement with the slot each one starts in."""
    h, m = (int(x) for x in hhmm.split(":"))
    clips = [("Saat", 0)]
    for v, tens_slot in ((h, 1000), (m, 3000)):
        clips.append((str(v // 10 * 10), tens_slot))
        if v < 10 or v % 10 != 0:
            clips.append((str(v % 10), tens_slot + 1000))
    return clips


ALL_CLIPS = ["Saat", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "20", "30", "40", "50"]


def smooth(x, n=5):
    """A running mean, applied alike to clip and recording. The server's resampler does not keep the
    hiss of "saat", "sıfır" and "sekiz" sample for sample, so the match rests on the voice below 4 kHz."""
    out, acc = [], 0.0
    for i, v in enumerate(x):
        acc += v
        if i >= n:
            acc -= x[i - n]
        out.append(acc / n)
    return out


def decimate(x, k):
    """Means of k samples: the coarse copy that onsets are proposed from."""
    return [sum(x[i:i + k]) / k for i in range(0, len(x) - k + 1, k)]


def read_clip(path):
    with wave.open(path) as w:
        if (w.getframerate(), w.getnchannels(), w.getsampwidth()) != (RATE, 1, 2):
            raise SystemExit("%s: expected %d Hz mono 16-bit" % (path, RATE))
        a = array.array("h", w.readframes(w.getnframes()))
    return smooth([float(x) for x in a])


def read_clips(ses_dir):
    """Every clip of the folder by name."""
    return {name: read_clip(os.path.join(ses_dir, name + ".wav")) for name in ALL_CLIPS}


def read_recording(path):
    """The recording (44100 Hz stereo from tsrec) as mono at the clips' rate. The server's resampler
    has already band-limited the clips, so plain decimation keeps them intact."""
    with wave.open(path) as w:
        rate, ch = w.getframerate(), w.getnchannels()
        a = array.array("h", w.readframes(w.getnframes()))
    step = rate // RATE
    if step * RATE != rate:
        raise SystemExit("%s: rate %d is not a multiple of %d" % (path, rate, RATE))
    frame = ch * step
    return smooth([float(sum(a[i:i + ch])) / ch for i in range(0, len(a) - frame + 1, frame)])


def prefix_energy(x):
    sq, acc = [0.0], 0.0
    for v in x:
        acc += v * v
        sq.append(acc)
    return sq


class Clip:
    """What following a clip needs: its 10 ms blocks with their energies, and its coarse opening."""

    def __init__(self, samples):
        self.samples = samples
        self.blocks = []
        for b in range(0, len(samples) - BLOCK // 2, BLOCK):
            seg = samples[b:b + BLOCK]
            e = sum(x * x for x in seg)
            self.blocks.append((b, seg, e, e >= STRONG_RMS * STRONG_RMS * len(seg)))
        self.opening = decimate(samples[:RATE * TEMPLATE_MS // 1000], COARSE)
        self.opening_norm = math.sqrt(sum(x * x for x in self.opening)) or 1.0
        self.head = samples[:RATE * TEMPLATE_MS // 1000]
        self.head_norm = math.sqrt(sum(x * x for x in self.head)) or 1.0


class Match:
    """A clip followed through the recording from a proposed onset.
    onset: sample where the clip's first sample lies, by its first loud block; score: normalised
    correlation over the clip's blocks at the places they were found, with the unexplained sound right
    after it; heard_ms: where in the clip the last loud block found in order ends (a clip cut short has
    none after the cut); gap_ms and drop_ms: dropouts crossed and audio skipped on the way."""

    def __init__(self, onset, score, heard_ms, gap_ms=0.0, drop_ms=0.0):
        self.onset, self.score, self.heard_ms = onset, score, heard_ms
        self.gap_ms, self.drop_ms = gap_ms, drop_ms
        self.start = onset  # where following began, to follow it again from

    def __repr__(self):
        return "Match(onset=%s, score=%.3f, heard=%.0f ms, gap=%.0f ms, drop=%.0f ms)" % (
            self.onset, self.score, self.heard_ms, self.gap_ms, self.drop_ms)


NO_MATCH = Match(None, 0.0, 0.0)


class Detector:
    def __init__(self, rec):
        self.rec = rec
        self.sq = prefix_energy(rec)
        self.coarse = decimate(rec, COARSE)
        self.coarse_sq = prefix_energy(self.coarse)
        self._clips = {}

    def energy(self, a, n):
        a, b = max(0, a), max(0, min(len(self.rec), a + n))
        return self.sq[b] - self.sq[a] if b > a else 0.0

    def prepared(self, clip):
        if isinstance(clip, Clip):
            return clip
        got = self._clips.get(id(clip))
        if got is None or got.samples is not clip:
            got = self._clips[id(clip)] = Clip(clip)
        return got

    def _block(self, seg, pos):
        """(dot product, recording energy) of a block placed at pos."""
        n = len(seg)
        if pos < 0 or pos + n > len(self.rec):
            return 0.0, 0.0
        return sum(map(mul, seg, self.rec[pos:pos + n])), self.sq[pos + n] - self.sq[pos]

    @staticmethod
    def _ncc(dot, ce, re):
        return dot / math.sqrt(ce * re) if ce > 0 and re > ce * 1e-6 else 0.0

    def proposals(self, clip, lo, hi, count=4):
        """Onsets in [lo, hi) samples where the clip's opening correlates best at the coarse rate."""
        c = self.prepared(clip)
        tpl, n = c.opening, len(c.opening)
        lo_c, hi_c = max(0, lo // COARSE), min(len(self.coarse) - n, -(-hi // COARSE))
        scores = []
        for lag in range(lo_c, hi_c):
            e = self.coarse_sq[lag + n] - self.coarse_sq[lag]
            scores.append(sum(map(mul, tpl, self.coarse[lag:lag + n])) / (c.opening_norm * math.sqrt(e))
                          if e > n * 4.0 else 0.0)
        peaks = [(s, i) for i, s in enumerate(scores) if s >= 0.3 and (i == 0 or s >= scores[i - 1])
                 and (i + 1 == len(scores) or s > scores[i + 1])]
        return [(lo_c + i) * COARSE for s, i in sorted(peaks, reverse=True)[:count]]

    def follow(self, clip, at, limit=None, settle=COARSE + 4, rescue=True):
        """Follows the clip through the recording from sample at, its first loud block looked for up to
        settle samples either side. Once one has been found, a loud block that is not where the one
        before left off is looked for after a dropout (or a skip), unless rescue is False. Sound after
        limit (the next clip's onset, the recording's end) is not the clip's. Returns a Match."""
        c = self.prepared(clip)
        limit = len(self.rec) if limit is None else min(limit, len(self.rec))
        d, gap, drop = 0, 0, 0
        max_gap, max_drop = RATE * MAX_GAP_MS // 1000, RATE * MAX_DROP_MS // 1000
        dot = ce = re = 0.0
        onset, heard, found, rescues, misses = None, 0, 0, 0, 0
        blocks = c.blocks
        for i, (b, seg, e, strong) in enumerate(blocks):
            if at + b + d + len(seg) > limit:
                break
            if not strong:
                bd, br = self._block(seg, at + b + d)
                dot, ce, re = dot + bd, ce + e, re + br
                continue
            # Once found, a clip moves by a sample a block at most: the server's resampler was seen to
            # stretch a clip by half a millisecond over a tenth of a second.
            shifts = range(d - settle, d + settle + 1) if onset is None else (d - 1, d, d + 1)
            best = max((self._block(seg, at + b + s) + (s,) for s in shifts),
                       key=lambda t: self._ncc(t[0], e, t[1]))
            if self._ncc(best[0], e, best[1]) < BLOCK_OK and rescue and found and rescues < 8 and misses < 2:
                moved = self._rescue(c, i, at, d, d - max_drop, d + (max_gap - gap), limit)
                misses = 0 if moved is not None else misses + 1
                if moved is not None:
                    rescues += 1
                    if moved > d:
                        # What the clip skips over should be the silence of the dropout.
                        re += self.energy(at + b + d, moved - d)
                        gap += moved - d
                    else:
                        drop += d - moved
                    d = moved
                    # The block the dropout fell into is partly before it, partly after.
                    best = max((self._block(seg, at + b + s) + (s,) for s in (best[2], d)),
                               key=lambda t: self._ncc(t[0], e, t[1]))
                    dot, ce, re = dot + best[0], ce + e, re + best[1]
                    found += 1
                    heard = b + len(seg)
                    continue
            dot, ce, re = dot + best[0], ce + e, re + best[1]
            if self._ncc(best[0], e, best[1]) >= BLOCK_OK:
                d = best[2]
                found += 1
                if onset is None:
                    onset = at + d
                heard = b + len(seg)
        end = at + len(c.samples) + d
        re += self.energy(end, max(0, min(RATE * TAIL_MS // 1000, limit - end)))
        score = dot / math.sqrt(ce * re) if ce > 0 and re > 0 else 0.0
        m = Match(onset if onset is not None else at, max(0.0, score), heard * 1000.0 / RATE,
                  gap * 1000.0 / RATE, drop * 1000.0 / RATE)
        m.start = at
        return m

    def _rescue(self, c, i, at, d, lo_d, hi_d, limit):
        """Where the clip goes on after block i failed: the shift in [lo_d, hi_d] at which the next two
        loud blocks (within 150 ms; block i itself if it is the last) correlate best, if at 0.9 or more (d itself for a block damaged in
        place), else None. Looked for at every other sample: the match of a clip's hiss is that narrow."""
        b0 = c.blocks[i][0]
        ahead = [(b, seg, e) for b, seg, e, strong in c.blocks[i + 1:]
                 if strong and b - b0 <= RATE * 3 // 20][:2]
        if not ahead:  # the clip's last loud block: it alone
            ahead = [(b, seg, e) for b, seg, e, strong in c.blocks[i:i + 1]]
        ce = sum(e for _, _, e in ahead)
        hi_d = min(hi_d, limit - at - ahead[-1][0] - len(ahead[-1][1]))

        def fine(s):
            dot = re = 0.0
            for b, seg, e in ahead:
                bd, br = self._block(seg, at + b + s)
                dot, re = dot + bd, re + br
            return self._ncc(dot, ce, re)
        # Most dropouts are short: near first, then as far as the budget goes.
        near_lo, near_hi = max(lo_d, d - RATE // 50), min(hi_d, d + RATE * 3 // 50)
        for a, z in ((near_lo, near_hi), (lo_d, hi_d)):
            if a > z:
                continue
            guess = max(range(a, z + 1, 2), key=fine)
            best = max(range(max(a, guess - 1), min(z, guess + 1) + 1), key=fine)
            if fine(best) >= 0.9:
                return best
        return None

    def refine(self, clip, at, span=COARSE + 4):
        """The sample near at where the clip's opening correlates best, and that correlation."""
        c = self.prepared(clip)
        n = len(c.head)

        def score(p):
            if p < 0 or p + n > len(self.rec):
                return 0.0
            e = self.sq[p + n] - self.sq[p]
            if e <= n * 4.0:
                return 0.0
            return sum(map(mul, c.head, self.rec[p:p + n])) / (c.head_norm * math.sqrt(e))
        best = max(range(at - span, at + span + 1), key=score)
        return best, score(best)

    def locate(self, clip, lo, hi, limit=None, count=6, precise=True, rescue=True, earliest=False):
        """The best Match of the clip with an onset proposed in [lo, hi) samples (NO_MATCH if none).
        Of places that the whole clip matches about equally, the one its opening matches best; with
        earliest, one at least 250 ms before that if there is one (the same clip may come twice in a
        window); with precise, the onset is then put where the opening matches longest."""
        tried = []
        # A wide window holds other clips whose sounds the opening also matches: more places to try.
        for at in self.proposals(clip, lo, hi, max(count, (hi - lo) // (RATE // 10))):
            at, opening = self.refine(clip, at)
            tried.append((at, opening, self.follow(clip, at, limit, settle=2, rescue=False)))
        if rescue:
            # Dropouts are crossed (the costly part) from the two places that do best without, and the
            # two whose opening matches best: a dropout may have cost either.
            again = set(sorted(tried, key=lambda t: -t[2].score)[:2] + sorted(tried, key=lambda t: -t[1])[:2])
            tried = [(at, opening, self.follow(clip, at, limit, settle=2) if (at, opening, m) in again else m)
                     for at, opening, m in tried]
        found = [((round(m.score, 2), opening), m) for at, opening, m in tried]
        best = max(found, key=lambda t: t[0])[1] if found else NO_MATCH
        if earliest and best.score >= MATCH:
            earlier = [m for _, m in found
                       if m.score >= best.score - 0.05 and m.onset < best.onset - RATE // 4]
            best = min(earlier or [best], key=lambda m: m.onset)
        if precise and best is not NO_MATCH:
            best.onset = self._first_stretch(clip, best)
            best.onset = self._before_dropout(clip, best.onset)
        return best

    def _before_dropout(self, clip, onset):
        """An earlier onset where the clip's first 10 ms or more match at 0.8 and the recording then
        falls silent: a dropout right after the start, which the loud part found came after. At most
        MAX_GAP_MS earlier; the onset itself if there is none."""
        c = self.prepared(clip)
        head = [(seg, e) for b, seg, e, strong in c.blocks[:len(c.head) // BLOCK]]

        def matched(p, blocks):
            # Blocks of the head that match from p on, counted while the running correlation holds.
            if p < 0:
                return 0
            dot = ce = 0.0
            k = 0
            for seg, e in head[:blocks]:
                q = p + k * BLOCK
                if q + BLOCK > len(self.rec):
                    break
                dot += sum(map(mul, seg, self.rec[q:q + BLOCK]))
                ce += e
                if self._ncc(dot, ce, self.sq[q + BLOCK] - self.sq[p]) < 0.8:
                    break
                k += 1
            return k
        for p in range(onset - RATE * MAX_GAP_MS // 1000, onset - RATE // 500, 2):
            if matched(p, 1) < 1:
                continue
            p = max(range(p - 2, p + 3), key=lambda q: matched(q, len(head)))
            k = matched(p, len(head))
            # Silence where the clip goes on (the dropout may begin inside the first block that fails).
            if any(self.energy(p + j * BLOCK, BLOCK) < 0.1 * head[j][1]
                   for j in range(k, min(k + 2, len(head)))):
                return p
        return onset

    def _first_stretch(self, clip, m):
        """The onset by the clip's opening: of the places within 25 ms of the found one (a voiced sound
        matches itself a period or two off nearly as well), the one where the longest part of the
        opening matches at 0.9 or more (a dropout ends that part); the found one if none does."""
        c = self.prepared(clip)
        blocks = [seg for b, seg, e, strong in c.blocks[:len(c.head) // BLOCK]]
        energies = [sum(x * x for x in seg) for seg in blocks]

        def key(p):
            if p < 0 or p + len(blocks) * BLOCK > len(self.rec):
                return (0, 0.0)
            dot = ce = 0.0
            best = (0, 0.0)
            for k, seg in enumerate(blocks):
                q = p + k * BLOCK
                dot += sum(map(mul, seg, self.rec[q:q + BLOCK]))
                ce += energies[k]
                ncc = self._ncc(dot, ce, self.sq[q + BLOCK] - self.sq[p])
                if ncc >= 0.9:
                    best = (k + 1, ncc)
            return best
        span = RATE * 25 // 1000
        guess = max(range(m.onset - span, m.onset + span + 1, 3), key=key)
        best = max(range(guess - 2, guess + 3), key=key)
        return best if key(best)[0] else m.onset

    def rivals(self, clips, at, limit=None, exclude=()):
        """The best-scoring other clip with an onset within RIVAL_MS of at: (name, Match) or (None, NO_MATCH).
        Followed without crossing dropouts: a clip that is there scores high enough without, and one that
        is not should not be helped."""
        near = RATE * RIVAL_MS // 1000
        best = (None, NO_MATCH)
        for name, clip in clips.items():
            if name in exclude:
                continue
            m = self.locate(clip, at - near, at + near, limit, precise=False, rescue=False)
            if m.score > best[1].score:
                best = (name, m)
        return best

    def identify(self, clips, lo, hi, limit=None):
        """Which clip the recording holds with an onset in [lo, hi) samples: (name, Match) of the
        best-scoring one if it scores MATCH and MARGIN above every other there, else (None, best Match).
        All are ranked without crossing dropouts, the three best then followed across them."""
        ranked = sorted(((self.locate(clip, lo, hi, limit, precise=False, rescue=False), name)
                         for name, clip in clips.items()), key=lambda t: -t[0].score)
        top, name = max(((self.locate(clips[n], lo, hi, limit, precise=False), n) for _, n in ranked[:3]),
                        key=lambda t: t[0].score)
        if top.score < MATCH:
            return None, top
        rival = self.rivals(clips, top.onset, limit, exclude=(name,))[1]
        if rival.score > top.score - MARGIN:
            return None, top
        return name, top

    # The earlier interface, kept for callers.
    def find(self, clip, lo, hi):
        """Where in [lo, hi) samples the clip is, if it scores MATCH: (sample, score), else
        (None, best score)."""
        m = self.locate(clip, lo, hi)
        return (m.onset, m.score) if m.score >= MATCH else (None, m.score)

    def heard_ms(self, clip, at):
        """How much of the clip the recording holds from its onset on, across dropouts."""
        return self.follow(clip, at, settle=2).heard_ms


def audible_ms(clip):
    """Where the clip's last block loud enough for heard_ms ends: what a clip heard in full reaches."""
    block = BLOCK
    end = 0
    for b in range(0, len(clip) - block // 2, block):
        seg = clip[b:b + block]
        if sum(x * x for x in seg) >= STRONG_RMS * STRONG_RMS * len(seg):
            end = b + len(seg)
    return end * 1000.0 / RATE


class Row(tuple):
    """One clip of an announcement: (name, slot, onset after the first call, error vs the call grid,
    error vs the opening clip's grid, heard, full, score), onset None when not heard. Also .match (the
    expected clip's best Match, found or not) and .rival (the best other clip there and its Match)."""

    def __new__(cls, fields, match=NO_MATCH, rival=(None, NO_MATCH)):
        row = super().__new__(cls, fields)
        row.match, row.rival = match, rival
        return row


def analyse(rec, ses_dir, hhmm, call_ms, first_window_ms=2500):
    """Finds the announcement of hhmm whose first play call was at call_ms (recording time).
    Returns Rows (name, slot, onset after the first call, error vs the call grid, error vs the opening
    clip's grid, heard, full, score). A clip counts as found where it scores MATCH on its whole length
    and MARGIN above every other clip at that place."""
    det = rec if isinstance(rec, Detector) else Detector(rec)
    clips = det._clips.get(("folder", ses_dir))
    if clips is None:
        clips = det._clips[("folder", ses_dir)] = read_clips(ses_dir)
    ms = RATE / 1000.0
    located, floor, late = [], 0, 0.0
    for name, slot in clip_names(hhmm):
        # The opening may be late by the device's start-up (and the rest with it, or not); every later
        # clip is looked for from just before its second on the call grid to well after it on the
        # opening's, never at or before the clip ahead of it, the first one of a clip that comes twice.
        if slot == 0:
            lo, hi = call_ms - 50, call_ms + first_window_ms
        else:
            lo, hi = call_ms + slot - 50, call_ms + late + slot + 500
        m = det.locate(clips[name], max(floor, int(lo * ms)), int(hi * ms), earliest=True)
        located.append([name, slot, m])
        if m.score >= MATCH:
            floor = m.onset + RATE // 20
            if slot == 0:
                late = max(0.0, m.onset / ms - call_ms)
    for k, (name, slot, m) in enumerate(located):
        # Followed again only up to the next clip found: a clip that the next one cut is heard to the
        # cut, and one cut early is found by what was played of it.
        nxt = next((n.onset for _, _, n in located[k + 1:] if n.score >= MATCH), None)
        if nxt is not None and m.score >= MATCH:
            again = det.follow(clips[name], m.start, nxt, settle=2)
            again.onset = m.onset
            located[k][2] = again
        elif nxt is not None:
            prev = next((n.onset for _, _, n in reversed(located[:k]) if n.score >= MATCH), 0)
            lo = call_ms + slot - 50
            hi = call_ms + late + slot + (500 if slot else first_window_ms)
            again = det.locate(clips[name], max(prev + RATE // 20, int(lo * ms)), min(nxt, int(hi * ms)), nxt)
            if again.score >= MATCH:
                located[k][2] = again
    rows, first = [], None
    for k, (name, slot, m) in enumerate(located):
        nxt = next((n.onset for _, _, n in located[k + 1:] if n.score >= MATCH), None)
        length = audible_ms(clips[name])
        rival = det.rivals(clips, m.onset, nxt, exclude=(name,)) if m.score >= MATCH else (None, NO_MATCH)
        if m.score < MATCH or rival[1].score > m.score - MARGIN:
            rows.append(Row((name, slot, None, None, None, 0.0, length, m.score), m, rival))
            continue
        onset = m.onset / ms - call_ms
        if first is None:
            first = onset - slot
        rows.append(Row((name, slot, onset, onset - slot, onset - slot - first, m.heard_ms, length, m.score),
                        m, rival))
    return rows


def full(heard, length, slack_ms=HEARD_SLACK_MS):
    """Whether a clip heard for heard ms of its audible length was heard to its end."""
    return heard >= length - slack_ms


def hear(rec, ses_dir, hhmm, press_ms, opening_late_ms, heard_until_ms=None, device_opens=False,
         tolerance_ms=TOLERANCE_MS, cut_ms=HEARD_SLACK_MS):
    """Judges the announcement of hhmm chosen at press_ms (recording time) as a listener would: every
    clip of the time there, in order, each heard to its end, the opening at most opening_late_ms after
    the press, every later clip within tolerance_ms of its second on the opening clip's grid (at most
    cut_ms short of its end), and the
    units positions without a clip silent. device_opens: the sound device opens with the opening clip
    (the first announcement after the start, or after 3 s of silence), which then comes late or early
    against the clips after it by the device's start-up while the timers run on; the later clips are
    then held to the grid of the hour's tens clip, and the opening only to the key.
    Returns (faults, problems, lines): faults for a clip missing, wrong or where none belongs, problems
    for timing and interrupted clips, lines to print. heard_until_ms: where the recording ends, for
    telling a clip the recording cut from one the program cut."""
    det = rec if isinstance(rec, Detector) else Detector(rec)
    clips = det._clips.get(("folder", ses_dir))
    if clips is None:
        clips = det._clips[("folder", ses_dir)] = read_clips(ses_dir)
    ms = RATE / 1000.0
    rows = analyse(det, ses_dir, hhmm, press_ms, first_window_ms=max(1500, opening_late_ms + 500))
    grid = next((r[2] - r[1] for r in rows if r[2] is not None), 0.0)  # the opening clip's grid
    if device_opens:
        grid = next((r[2] - r[1] for r in rows if r[2] is not None and r[1] > 0), grid)
    faults, problems, lines = [], [], []

    def there(slot):
        # What is heard around a slot, whatever it is: the clip that scores best there, if one clearly does.
        lo, hi = press_ms + grid + slot - 400, press_ms + grid + slot + 400
        return det.identify(clips, int(lo * ms), int(hi * ms))[0]
    for row in rows:
        name, slot, onset, egrid, efirst, heard, length, score = row
        if onset is None:
            got = there(slot)
            faults.append("%s.wav at %d ms not heard" % (name, slot)
                          + (" (%s.wav instead)" % got if got else ""))
            lines.append("  %-8s %5d ms: NOT HEARD (match %.2f, best other %s %.2f)" % (
                name + ".wav", slot, score, row.rival[0], row.rival[1].score))
            continue
        m = row.match
        if device_opens and slot > 0:
            efirst = onset - slot - grid
        lines.append("  %-8s %5d ms: %8.1f ms  %+6.1f ms  heard %.0f/%.0f ms  match %.2f (next %s %.2f)%s" % (
            name + ".wav", slot, onset, efirst, heard, length, score, row.rival[0], row.rival[1].score,
            "  dropouts %.0f ms" % m.gap_ms if m.gap_ms >= 1 else ""))
        # Sample 0's wall-clock time is the recorder's earliest estimate, and the sink hands it sound
        # up to a block ahead: the key may seem to come a few ms after the opening it chose.
        if slot == 0 and not -KEY_SLACK_MS <= egrid <= opening_late_ms:
            problems.append("opening clip %+.1f ms after the key" % egrid)
        if device_opens and slot == 0:
            lines[-1] += "  (%+.1f ms against the later clips' grid)" % (onset - grid)
        elif abs(efirst) > tolerance_ms:
            problems.append("%s.wav %+.1f ms off its second" % (name, efirst))
        if not full(heard, length, cut_ms):
            end = press_ms + onset + length + m.gap_ms
            if heard_until_ms is not None and end > heard_until_ms:
                problems.append("%s.wav goes on past the recording's end" % name)
            else:
                problems.append("%s.wav interrupted after %.0f of %.0f ms" % (name, heard, length))
    # A units position without a clip stays silent (the clip before it is over by then).
    for slot in sorted({2000, 4000} - {r[1] for r in rows}):
        got = there(slot)
        lines.append("  %-8s %5d ms: " % ("-", slot)
                     + ("%s.wav HEARD" % got if got else "silent, as it should be"))
        if got:
            faults.append("%s.wav heard at %d ms, where nothing should play" % (got, slot))
    return faults, problems, lines


def verdict(rows, calls=None):
    """Every clip found and heard to its end, each onset within TOLERANCE_MS of its slot on the grid of
    the first play call and on the grid of the opening clip's own onset."""
    for name, slot, onset, egrid, efirst, heard, length, score in rows:
        if (onset is None or not full(heard, length) or abs(egrid) > TOLERANCE_MS
                or abs(efirst) > TOLERANCE_MS):
            return False
    return True


def check_verdict(rows, calls):
    """What --check holds a warm announcement to. The grid of the opening clip is what a listener hears;
    the recorder's time of sample 0 (against which the call grid is drawn) is only good to a few ms,
    so against the play calls only a sound path of at most PATH_MS is required (the calls are printed in
    whole milliseconds, hence the 2 ms allowed before one)."""
    if len(calls) != len(rows):
        return False
    for (name, slot, onset, egrid, efirst, heard, length, score), call in zip(rows, calls):
        if (onset is None or not full(heard, length) or abs(efirst) > TOLERANCE_MS
                or not -2 <= onset - call <= PATH_MS):
            return False
    return True


def print_table(title, rows, calls=None):
    """calls: each clip's own play call in ms after the first one, when known."""
    print(title)
    print("  %-9s %6s %9s %10s %9s %10s %9s %11s %14s %6s" % (
        "clip", "slot", "call", "call err", "onset", "after call", "vs grid", "vs opening", "heard/full ms",
        "match"))
    for i, (name, slot, onset, egrid, efirst, heard, length, score) in enumerate(rows):
        call = calls[i] if calls and i < len(calls) else None
        c = ("%9.1f %+10.1f" % (call, call - slot)) if call is not None else "%9s %10s" % ("-", "-")
        if onset is None:
            print("  %-9s %6d %s %9s" % (name + ".wav", slot, c, "NOT HEARD"))
        else:
            path = "%10.1f" % (onset - call) if call is not None else "%10s" % "-"
            print("  %-9s %6d %s %9.1f %s %+9.1f %+11.1f %6.0f/%-7.0f %6.3f" % (
                name + ".wav", slot, c, onset, path, egrid, efirst, heard, length, score))
    print("  -> %s" % ("every clip heard, each within %d ms of its slot" % TOLERANCE_MS if verdict(rows)
                       else "OUT OF TOLERANCE"))



# --- the sound server and the recorder ---------------------------------------------------------------

def stop_processes(procs):
    """Ends the processes a run started, the last started first; one that will not end is killed."""
    for p in reversed(procs):
        if p.poll() is None:
            p.terminate()
    for p in reversed(procs):
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def build_tsrec(dest_dir):
    """Compiles the recorder into dest_dir and returns its path."""
    exe = os.path.join(dest_dir, "tsrec")
    subprocess.run(["cc", "-O2", "-o", exe, tsrec_src, "-lpulse-simple", "-lpulse"], check=True)
    return exe


class PrivatePulse:
    """A PulseAudio server of its own in folder, whose default sink is the null sink "vbcap".
    env holds what a client needs to reach it (and nothing else of the caller's sound setup)."""

    SINK = "vbcap"

    def __init__(self, folder, base_env):
        self.folder = folder
        self.env = dict(base_env, PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"),
                        PULSE_SERVER="unix:" + os.path.join(folder, "native"), SDL_AUDIODRIVER="pulseaudio")
        # Server and client keep their cookie and state in the server's folder, out of the client's
        # configuration folder.
        self.env["PULSE_COOKIE"] = os.path.join(folder, "cookie")
        self.server_env = dict(self.env, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                               XDG_RUNTIME_DIR=folder, XDG_STATE_HOME=os.path.join(folder, "state"),
                               XDG_CACHE_HOME=os.path.join(folder, "cache"))
        self.proc = None

    def start(self, preexec_fn=None, timeout=5.0):
        self.proc = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
             "--use-pid-file=no", "--disallow-exit",
             # With rewinds, a stream joining the sink was heard up to 2 s late and its
             # first clip cut by the next; a sound card plays it at once.
             "-L", "module-null-sink sink_name=%s rate=44100 norewinds=1" % self.SINK,
             "-L", "module-native-protocol-unix socket=%s/native auth-anonymous=1" % self.folder],
            env=self.server_env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=preexec_fn)
        end = time.monotonic() + timeout
        while subprocess.run(["pactl", "info"], env=self.env, capture_output=True).returncode != 0:
            if self.proc.poll() is not None or time.monotonic() > end:
                raise RuntimeError("pulseaudio did not start")
            time.sleep(0.05)
        subprocess.run(["pactl", "set-default-sink", self.SINK], env=self.env, check=True, capture_output=True)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Recording:
    """tsrec on the null sink's monitor. t0 is the wall-clock time of sample 0 once stopped."""

    def __init__(self, tsrec, path, env, preexec_fn=None):
        self.path = path
        self.proc = subprocess.Popen([tsrec, path, PrivatePulse.SINK + ".monitor"], env=env,
                                     stdin=subprocess.DEVNULL, preexec_fn=preexec_fn)
        self.t0 = None

    def started(self):
        """Whether sample 0 has been written (the header is 44 bytes)."""
        try:
            return os.path.getsize(self.path) > 44 + 441 * 4
        except OSError:
            return False

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        self.t0 = float(open(self.path + ".t0").read().split()[0])
        return self.t0
