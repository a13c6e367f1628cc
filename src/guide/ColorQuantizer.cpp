#include "guide/ColorQuantizer.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <queue>
#include <utility>
#include <vector>

namespace orvalink::guide {

namespace {

struct ColorCount {
    QRgb rgb;
    qint64 count;
};

int channel(QRgb rgb, int which)
{
    return which == 0 ? qRed(rgb) : which == 1 ? qGreen(rgb) : qBlue(rgb);
}

// A run of `colors` [begin, end) that becomes one palette entry.
struct Box {
    qsizetype begin = 0;
    qsizetype end = 0;
    qint64 population = 0;
    int widestChannel = 0;
    int extent = 0; // of the widest channel

    // Boxes whose colours spread widest and cover most pixels are cut first.
    qint64 priority() const { return end - begin < 2 ? -1 : population * extent; }
    bool operator<(const Box& other) const { return priority() < other.priority(); }
};

Box measured(const std::vector<ColorCount>& colors, qsizetype begin, qsizetype end)
{
    Box box{begin, end};
    std::array<int, 3> low{255, 255, 255};
    std::array<int, 3> high{0, 0, 0};
    for (qsizetype i = begin; i < end; ++i) {
        box.population += colors[i].count;
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], channel(colors[i].rgb, c));
            high[c] = std::max(high[c], channel(colors[i].rgb, c));
        }
    }
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > box.extent) {
            box.extent = high[c] - low[c];
            box.widestChannel = c;
        }
    }
    return box;
}

// Sorts the box along its widest channel and cuts it where half of its pixels lie on each side,
// keeping at least one colour on either side.
std::pair<Box, Box> cut(std::vector<ColorCount>& colors, const Box& box)
{
    const auto first = colors.begin() + box.begin;
    const auto last = colors.begin() + box.end;
    std::sort(first, last, [&box](const ColorCount& a, const ColorCount& b) {
        return channel(a.rgb, box.widestChannel) < channel(b.rgb, box.widestChannel);
    });
    qsizetype split = box.begin + 1;
    qint64 below = colors[box.begin].count;
    while (split < box.end - 1 && below * 2 < box.population)
        below += colors[split++].count;
    return {measured(colors, box.begin, split), measured(colors, split, box.end)};
}

QRgb average(const std::vector<ColorCount>& colors, const Box& box)
{
    std::array<qint64, 3> sums{0, 0, 0};
    for (qsizetype i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c)
            sums[c] += channel(colors[i].rgb, c) * colors[i].count;
    }
    const auto mean = [&box](qint64 sum) {
        return int((sum + box.population / 2) / box.population);
    };
    return qRgb(mean(sums[0]), mean(sums[1]), mean(sums[2]));
}

template <typename Visit> void forEachPixel(const QImage& opaque, Visit visit)
{
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        for (int x = 0; x < opaque.width(); ++x)
            visit(line[x] | 0xff000000u);
    }
}

std::vector<ColorCount> histogramOf(const QImage& opaque)
{
    // Rendered windows are mostly long runs of one colour; counting runs saves most of the hashing.
    QHash<QRgb, qint64> histogram;
    QRgb runColor = 0;
    qint64 runLength = 0;
    forEachPixel(opaque, [&](QRgb rgb) {
        if (runLength > 0 && rgb == runColor) {
            ++runLength;
            return;
        }
        if (runLength > 0)
            histogram[runColor] += runLength;
        runColor = rgb;
        runLength = 1;
    });
    histogram[runColor] += runLength;
    std::vector<ColorCount> colors;
    colors.reserve(histogram.size());
    for (auto it = histogram.cbegin(); it != histogram.cend(); ++it)
        colors.push_back({it.key(), it.value()});
    // The hash order changes from run to run; a fixed order makes the same frame encode to the
    // same bytes every time.
    std::sort(colors.begin(), colors.end(),
              [](const ColorCount& a, const ColorCount& b) { return a.rgb < b.rgb; });
    return colors;
}

// Cuts `colors` (reordering it) into at most `maxColors` boxes. An image with no more colours than
// that ends with one colour per box, so its colours are kept exactly.
std::vector<Box> medianCut(std::vector<ColorCount>& colors, int maxColors)
{
    std::priority_queue<Box> queue;
    queue.push(measured(colors, 0, qsizetype(colors.size())));
    while (qsizetype(queue.size()) < maxColors && queue.top().priority() >= 0) {
        const Box widest = queue.top();
        queue.pop();
        const auto [left, right] = cut(colors, widest);
        queue.push(left);
        queue.push(right);
    }
    std::vector<Box> boxes;
    for (; !queue.empty(); queue.pop())
        boxes.push_back(queue.top());
    return boxes;
}

int squaredDistance(QRgb a, QRgb b)
{
    const int red = qRed(a) - qRed(b);
    const int green = qGreen(a) - qGreen(b);
    const int blue = qBlue(a) - qBlue(b);
    return red * red + green * green + blue * blue;
}

// The palette entry closest to `rgb`, starting from `guess`. A box's average can lie far from a
// colour of few pixels that shares the box with many of another hue (a thin gradient arc beside
// text), while another entry matches it closely.
uchar nearestEntry(const QList<QRgb>& palette, QRgb rgb, uchar guess)
{
    uchar best = guess;
    int bestDistance = squaredDistance(palette.at(guess), rgb);
    for (qsizetype i = 0; i < palette.size() && bestDistance > 0; ++i) {
        const int distance = squaredDistance(palette.at(i), rgb);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = uchar(i);
        }
    }
    return best;
}

} // namespace

QuantizedImage quantizeImage(const QImage& image, int maxColors)
{
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    QuantizedImage result;
    result.width = opaque.width();
    result.height = opaque.height();
    if (opaque.isNull())
        return result;

    std::vector<ColorCount> colors = histogramOf(opaque);
    QHash<QRgb, uchar> indexOf;
    indexOf.reserve(qsizetype(colors.size()));
    const std::vector<Box> boxes = medianCut(colors, std::clamp(maxColors, 1, 256));
    for (const Box& box : boxes)
        result.palette.append(average(colors, box));
    for (qsizetype b = 0; b < qsizetype(boxes.size()); ++b) {
        for (qsizetype i = boxes[b].begin; i < boxes[b].end; ++i)
            indexOf.insert(colors[i].rgb, nearestEntry(result.palette, colors[i].rgb, uchar(b)));
    }

    result.indices.resize(qsizetype(result.width) * result.height);
    char* out = result.indices.data();
    QRgb lastColor = colors.front().rgb;
    char lastIndex = char(indexOf.value(lastColor));
    forEachPixel(opaque, [&](QRgb rgb) {
        if (rgb != lastColor) {
            lastColor = rgb;
            lastIndex = char(indexOf.value(rgb));
        }
        *out++ = lastIndex;
    });
    return result;
}

} // namespace orvalink::guide
