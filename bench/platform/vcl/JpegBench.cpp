// Decoding and encoding a photo-sized picture, baseline and progressive.

#include "platform/vcl/Jpeg.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

namespace {
QImage Picture()
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = qRgb((x * 13) & 255, (y * 7) & 255, (x ^ y) & 255);
    }
    return image;
}

QByteArray Encoded(bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EncodeJPEG(Picture(), buffer, 90, progressive);
    return bytes;
}

void BM_JpegDecode(benchmark::State& state)
{
    const QByteArray data = Encoded(state.range(0) != 0);
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(data);
        benchmark::DoNotOptimize(jpeg.Width());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_JpegDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_JpegEncode(benchmark::State& state)
{
    const QImage image = Picture();
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EncodeJPEG(image, buffer, 90, state.range(0) != 0);
        benchmark::DoNotOptimize(bytes.size());
    }
}
BENCHMARK(BM_JpegEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace
