#include "FastBeatFill.h"

#include "PhaseWalk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Why the error stays below 2^-30 for |x| <= 2^25 (u = 2^-53, the unit roundoff):
//
// Reduction. n = round(x / pi) comes from x * (1/pi) rounded, so |x - n pi| <= pi/2 + 2^-26
// and |n| < 2^24. pi is split as P1 + P2: P1 carries 28 significant bits, so n * P1 is exact,
// and P2 is within 2^-84 of pi - P1. x - n * P1 rounds once on a result below 2 (at most u),
// n * P2 (below 2^-2) by at most 2^-55, the last subtraction once more (at most u), and n
// times what the split leaves out is below 2^-59. So the computed r is within 2^-51.5 of
// x - n pi, and sin(x) = (-1)^n sin(x - n pi), sin changing by no more than its argument does.
//
// Polynomial. The Taylor series of sin to r^13 on |r| <= 1.5709: the series alternates with
// falling terms, so what is cut off is below r^15 / 15! < 2^-30.47. The coefficients 1/k!
// round by a relative u each: together at most u sinh(1.5709) < 2^-51.7. r^2, Horner's scheme
// in r^2 over seven coefficients and the last product with r round 14 times, each relative to
// partial results below sinh(1.5709) < 2.31, so below 16 * 2.31 u < 2^-47.7. The scale 16384
// (a power of two) rounds nothing.
//
// Together below 2^-30.4, std::sin's own error (under one ulp, 2^-53 here) included.
// kFastSineErrorBound, 2^-28, leaves a factor of five on top. A scaled sample is then in doubt
// only within 2^-14 of an integer: about one sample in 8000 goes to std::sin.

#if defined(__x86_64__) || defined(__i386__)
#define FAST_SINE_X86 1
#include <emmintrin.h> // SSE2, which every x86-64 processor has
#endif

namespace {

// Vectors of doubles with their comparison masks, of 2 lanes (SSE2) and 4 lanes (AVX2).
typedef double Double2 __attribute__((vector_size(16)));
typedef long long Mask2 __attribute__((vector_size(16)));
typedef int Int2 __attribute__((vector_size(8)));
typedef short Short2 __attribute__((vector_size(4)));
typedef double Double4 __attribute__((vector_size(32)));
typedef long long Mask4 __attribute__((vector_size(32)));
typedef int Int4 __attribute__((vector_size(16)));
typedef short Short4 __attribute__((vector_size(8)));

constexpr double kInversePi = 0x1.45f306dc9c883p-2;
constexpr double kPiHigh = 0x1.921fb54p+1;
constexpr double kPiLow = 0x1.10b4611a62633p-29;
// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer,
// which ends up in the low bits of the sum.
constexpr double kRoundingShift = 0x1.8p52;
// 1/k! for k = 3, 5, ..., 13, with alternating signs.
constexpr double kSine3 = -0x1.5555555555555p-3;
constexpr double kSine5 = 0x1.1111111111111p-7;
constexpr double kSine7 = -0x1.a01a01a01a01ap-13;
constexpr double kSine9 = 0x1.71de3a556c734p-19;
constexpr double kSine11 = -0x1.ae64567f544e4p-26;
constexpr double kSine13 = 0x1.6124613a86d09p-33;
constexpr long long kAllButSign = 0x7fffffffffffffffLL;

constexpr double kScale = 16384.0;
// How close to an integer a scaled sample may come before its truncation is in doubt.
constexpr double kScaledErrorBound = kScale * kFastSineErrorBound;

// Whether any lane of a mask is set, folding it in halves.
template <typename Mask>
[[gnu::always_inline]] inline bool anyLaneSet(const Mask &mask)
{
    if constexpr (sizeof(Mask) == sizeof(Mask2)) {
        return (mask[0] | mask[1]) != 0;
    } else {
        Mask2 halves[2];
        std::memcpy(halves, &mask, sizeof halves);
        return anyLaneSet(halves[0] | halves[1]);
    }
}

// Stores truncated samples as 16-bit ones; they lie within [-16385, 16385], so the narrowing
// of SSE2, which saturates, is one instruction where a plain conversion takes three.
template <typename Int, typename Short>
[[gnu::always_inline]] inline void storeSamples(std::int16_t *to, const Int &truncated)
{
#ifdef FAST_SINE_X86
    if constexpr (sizeof(Int) == sizeof(__m128i)) {
        const __m128i wide = (__m128i)truncated;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(to), _mm_packs_epi32(wide, wide));
        return;
    }
#endif
    const Short narrow = __builtin_convertvector(truncated, Short);
    std::memcpy(to, &narrow, sizeof narrow);
}

// Replaces x by 16384 sin(x): r (1 + z (c3 + z (c5 + ...))) with z = r^2, every coefficient
// scaled by the power of two, which rounds nothing.
template <typename Double, typename Mask>
[[gnu::always_inline]] inline void scaledSineInPlace(Double &x)
{
    const Double shifted = x * kInversePi + kRoundingShift;
    const Double n = shifted - kRoundingShift;
    const Mask oddSign = ((Mask)shifted & 1) << 63;
    const Double r = (x - n * kPiHigh) - n * kPiLow;
    const Double z = r * r;
    Double p = (kScale * kSine13) * z + kScale * kSine11;
    p = p * z + kScale * kSine9;
    p = p * z + kScale * kSine7;
    p = p * z + kScale * kSine5;
    p = p * z + kScale * kSine3;
    p = p * z + kScale;
    x = (Double)((Mask)(r * p) ^ oddSign);
}

// Whether both phases stay within kFastSineLimit for the next `frames` frames: at most the
// steps' reach away from where they are (or from kTwoPi, below which a wrap leaves them), with
// half the range spare for rounding. NaN anywhere fails.
bool staysInFastRange(const PhaseWalk &walk, std::uint32_t frames)
{
    const double from = std::max({std::abs(walk.left()), std::abs(walk.right()), double(kTwoPi)});
    const double reach = double(frames) * std::max(std::abs(walk.stepLeft()), std::abs(walk.stepRight()));
    return from + reach <= kFastSineLimit / 2;
}

struct SampleInDoubt
{
    std::uint32_t index;
    double phase;
};

constexpr std::uint32_t kFramesPerPass = 512;

// The two phases in one vector, stepped together: the additions and wraps of PhaseWalk, lane by
// lane (subtracting 0 from a phase that does not wrap leaves it as it was, to the bit).
struct PhasePair
{
    Double2 phases;
    Double2 steps;

    [[gnu::always_inline]] void advance()
    {
        phases += steps;
        const Mask2 wraps = phases >= double(kTwoPi);
#ifdef FAST_SINE_X86
        const bool anyWraps = _mm_movemask_pd((__m128d)wraps) != 0;
#else
        const bool anyWraps = anyLaneSet(wraps);
#endif
        if (anyWraps) [[unlikely]]
            phases -= (Double2)(wraps & (Mask2)(Double2{} + double(kTwoPi)));
    }
};

// Writes the frames that fill whole vectors, walking the phases as it goes, and lists the
// samples it could not be sure of, and those of the frames left over, for std::sin; returns how
// many it listed (at most 2 * frames). frames <= kFramesPerPass, and the phases stay within
// kFastSineLimit (staysInFastRange).
template <typename Double, typename Mask, typename Int, typename Short>
[[gnu::always_inline]] inline std::size_t fillFrameVectors(PhaseWalk &sharedWalk, std::int16_t *samples,
                                                           std::uint32_t frames, SampleInDoubt *doubts)
{
    constexpr std::uint32_t lanes = sizeof(Double) / sizeof(double);
    constexpr std::uint32_t framesPerVector = lanes / 2;
    // The doubts are gathered after the pass: a branch on every vector would cost more.
    Double phases[kFramesPerPass / framesPerVector];
    Mask inDoubt[kFramesPerPass / framesPerVector];
    Mask doubtfulLanes = {};
    PhasePair pair{Double2{sharedWalk.left(), sharedWalk.right()},
                   Double2{sharedWalk.stepLeft(), sharedWalk.stepRight()}};
    const std::uint32_t vectors = frames / framesPerVector;
    for (std::uint32_t v = 0; v < vectors; ++v) {
        Double x;
        if constexpr (framesPerVector == 1) {
            x = pair.phases;
            pair.advance();
        } else {
            const Double2 first = pair.phases;
            pair.advance();
            x = __builtin_shufflevector(first, pair.phases, 0, 1, 2, 3);
            pair.advance();
        }
        phases[v] = x;
        scaledSineInPlace<Double, Mask>(x);
        const Double offset = x - ((x + kRoundingShift) - kRoundingShift);
        inDoubt[v] = (Double)((Mask)offset & kAllButSign) <= kScaledErrorBound;
        doubtfulLanes -= inDoubt[v]; // a set lane is -1
        storeSamples<Int, Short>(samples + lanes * v, __builtin_convertvector(x, Int));
    }
    PhaseWalk walk = sharedWalk;
    walk.moveTo(pair.phases[0], pair.phases[1]);
    std::size_t doubtCount = 0;
    if (anyLaneSet(doubtfulLanes)) {
        for (std::uint32_t v = 0; v < vectors; ++v) {
            for (std::uint32_t lane = 0; lane < lanes; ++lane) {
                if (inDoubt[v][lane])
                    doubts[doubtCount++] = {lanes * v + lane, phases[v][lane]};
            }
        }
    }
    for (std::uint32_t frame = vectors * framesPerVector; frame < frames; ++frame) {
        doubts[doubtCount++] = {2 * frame, walk.left()};
        doubts[doubtCount++] = {2 * frame + 1, walk.right()};
        walk.advance();
    }
    sharedWalk = walk;
    return doubtCount;
}

std::size_t fillFrameVectorsSse2(PhaseWalk &walk, std::int16_t *samples, std::uint32_t frames, SampleInDoubt *doubts)
{
    return fillFrameVectors<Double2, Mask2, Int2, Short2>(walk, samples, frames, doubts);
}

#ifdef FAST_SINE_X86
[[gnu::target("avx2")]] std::size_t fillFrameVectorsAvx2(PhaseWalk &walk, std::int16_t *samples,
                                                          std::uint32_t frames, SampleInDoubt *doubts)
{
    return fillFrameVectors<Double4, Mask4, Int4, Short4>(walk, samples, frames, doubts);
}
#endif

using FillFrameVectors = std::size_t (*)(PhaseWalk &, std::int16_t *, std::uint32_t, SampleInDoubt *);

FillFrameVectors widestFillFrameVectors()
{
#ifdef FAST_SINE_X86
    if (__builtin_cpu_supports("avx2"))
        return &fillFrameVectorsAvx2;
#endif
    return &fillFrameVectorsSse2;
}

} // namespace

std::int16_t SineSample(double phase)
{
    // Truncation toward zero, never rounding: sin * 16384 stays within [-16384, 16384].
    return static_cast<std::int16_t>(static_cast<std::int32_t>(std::sin(phase) * kScale));
}

void FillBeatFramesFast(BeatToneState &state, std::int16_t *samples, std::uint32_t frames, SineVectors vectors)
{
    static const FillFrameVectors widest = widestFillFrameVectors();
    const FillFrameVectors fill = vectors == SineVectors::Widest ? widest : &fillFrameVectorsSse2;
    SampleInDoubt doubts[2 * kFramesPerPass];
    PhaseWalk walk(state);
    for (std::uint32_t done = 0; done < frames; done += kFramesPerPass) {
        std::int16_t *pass = samples + 2 * std::size_t(done);
        const std::uint32_t passFrames = std::min(kFramesPerPass, frames - done);
        if (!staysInFastRange(walk, passFrames)) {
            for (std::uint32_t k = 0; k < passFrames; ++k) {
                pass[2 * k] = SineSample(walk.left());
                pass[2 * k + 1] = SineSample(walk.right());
                walk.advance();
            }
            continue;
        }
        const std::size_t doubtCount = fill(walk, pass, passFrames, doubts);
        for (std::size_t k = 0; k < doubtCount; ++k)
            pass[doubts[k].index] = SineSample(doubts[k].phase);
    }
    walk.storeInto(state);
}

double FastSine(double x)
{
    Double2 v = {x, 0.0};
    scaledSineInPlace<Double2, Mask2>(v);
    return v[0] / kScale;
}
