#include "ProgramMotion.h"

#include "BeatTone.h"
#include "TonewellLog.h"

#include <QCoreApplication>

#include <algorithm>
#include <optional>

namespace {

// The longest value a field of at most kMostBeatSteps steps can be ("-1000.125@600," each);
// a longer one is refused before it is read any further.
constexpr qsizetype kLongestStepsValue = kMostBeatSteps * 16;

bool allDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "7", "-2.5", "10.125": an optional sign, up to four digits, up to three decimals.
std::optional<double> beatValue(QByteArrayView text)
{
    QByteArrayView digits = text;
    if (digits.startsWith('-') || digits.startsWith('+'))
        digits = digits.sliced(1);
    const qsizetype point = digits.indexOf('.');
    const QByteArrayView whole = point < 0 ? digits : digits.first(point);
    const QByteArrayView decimals = point < 0 ? QByteArrayView() : digits.sliced(point + 1);
    if (!allDigits(whole) || whole.size() > 4 || (point >= 0 && (!allDigits(decimals) || decimals.size() > 3)))
        return std::nullopt;
    bool ok = false;
    const double value = text.toByteArray().toDouble(&ok); // the same in every locale
    if (!ok || value < -kMostStepBeatHz || value > kMostStepBeatHz)
        return std::nullopt;
    return value;
}

std::optional<int> wholeNumber(QByteArrayView text, int lowest, int highest)
{
    QByteArrayView digits = text;
    const bool negative = digits.startsWith('-');
    if (negative || digits.startsWith('+'))
        digits = digits.sliced(1);
    if (!allDigits(digits) || digits.size() > 4)
        return std::nullopt;
    const int value = (negative ? -1 : 1) * digits.toByteArray().toInt();
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<std::vector<BeatStep>> stepsValue(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > kLongestStepsValue || text.count(',') >= kMostBeatSteps)
        return std::nullopt;
    std::vector<BeatStep> steps;
    while (true) {
        const qsizetype comma = text.indexOf(',');
        const QByteArrayView step = comma < 0 ? text : text.first(comma);
        const qsizetype at = step.indexOf('@');
        if (at < 0)
            return std::nullopt;
        const std::optional<double> beat = beatValue(step.first(at));
        const QByteArrayView minutesText = step.sliced(at + 1);
        const std::optional<int> minutes =
            allDigits(minutesText) ? wholeNumber(minutesText, 1, kMostStepMinutes) : std::nullopt;
        if (!beat || !minutes)
            return std::nullopt;
        steps.push_back({*beat, *minutes});
        if (comma < 0)
            return steps;
        text = text.sliced(comma + 1);
    }
}

std::optional<BackgroundNoise> noiseValue(QByteArrayView text)
{
    const qsizetype at = text.indexOf('@');
    if (at < 0)
        return std::nullopt;
    const QByteArrayView colourName = text.first(at);
    NoiseColour colour = NoiseColour::None;
    if (colourName == "white")
        colour = NoiseColour::White;
    else if (colourName == "pink")
        colour = NoiseColour::Pink;
    else if (colourName == "brown")
        colour = NoiseColour::Brown;
    else
        return std::nullopt;
    const QByteArrayView levelText = text.sliced(at + 1);
    // A level is below full scale: "-24", never "+6" or "24".
    if (!levelText.startsWith('-'))
        return std::nullopt;
    const std::optional<int> level = wholeNumber(levelText, kQuietestNoiseDb, kLoudestNoiseDb);
    if (!level)
        return std::nullopt;
    return BackgroundNoise{colour, *level};
}

// The start of a field for a log line: enough to find it in the file, never megabytes of it.
QString shortened(QByteArrayView text)
{
    constexpr qsizetype kShown = 40;
    QString shown = QString::fromUtf8(text.first(std::min(text.size(), kShown)));
    if (text.size() > kShown)
        shown += QStringLiteral("... (%1 bytes)").arg(text.size());
    return shown;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("ProgramMotion", text);
}

} // namespace

ProgramMotion ParseProgramMotion(QByteArrayView rest, QByteArrayView programName)
{
    ProgramMotion motion;
    while (true) {
        const qsizetype end = rest.indexOf(';');
        if (end < 0)
            return motion;
        const QByteArrayView field = rest.first(end);
        rest = rest.sliced(end + 1);
        const qsizetype equals = field.indexOf('=');
        if (equals < 0)
            continue; // a remark
        const QByteArrayView key = field.first(equals);
        const QByteArrayView value = field.sliced(equals + 1);
        bool read = true;
        if (key == "steps") {
            std::optional<std::vector<BeatStep>> steps = stepsValue(value);
            if (steps)
                motion.steps = std::move(*steps);
            read = steps.has_value();
        } else if (key == "noise") {
            const std::optional<BackgroundNoise> noise = noiseValue(value);
            if (noise)
                motion.noise = *noise;
            read = noise.has_value();
        }
        if (!read)
            qCWarning(lcTonewell).noquote() << QStringLiteral("Program \"%1\": \"%2\" is not a plan Tonewell can play; "
                                                              "the program plays without it")
                                                   .arg(shortened(programName), shortened(field));
    }
}

std::int64_t StepsFrames(const std::vector<BeatStep> &steps)
{
    std::int64_t frames = 0;
    for (const BeatStep &step : steps)
        frames += std::int64_t(step.minutes) * 60 * kSampleRate;
    return frames;
}

double BeatAtFrame(std::int32_t beatHz, const std::vector<BeatStep> &steps, std::int64_t frame)
{
    double from = beatHz;
    std::int64_t start = 0;
    for (const BeatStep &step : steps) {
        const std::int64_t length = std::int64_t(step.minutes) * 60 * kSampleRate;
        if (frame < start + length)
            return from + (step.beatHz - from) * (double(frame - start) / double(length));
        from = step.beatHz;
        start += length;
    }
    return from;
}

QString BeatText(double beatHz)
{
    QString text = QString::number(beatHz, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString MotionText(std::int32_t beatHz, const ProgramMotion &motion)
{
    QStringList parts;
    if (!motion.steps.empty()) {
        QString steps = BeatText(beatHz);
        for (const BeatStep &step : motion.steps)
            steps += tr(" → %1 Hz in %2 min").arg(BeatText(step.beatHz)).arg(step.minutes);
        parts << steps;
    }
    switch (motion.noise.colour) {
    case NoiseColour::None:
        break;
    case NoiseColour::White:
        parts << tr("white noise");
        break;
    case NoiseColour::Pink:
        parts << tr("pink noise");
        break;
    case NoiseColour::Brown:
        parts << tr("brown noise");
        break;
    }
    return parts.join(QStringLiteral("; "));
}
