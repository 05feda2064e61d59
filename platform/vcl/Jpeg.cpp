#include "platform/vcl/Jpeg.h"

#include <QBuffer>
#include <QIODevice>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

EJPEG::EJPEG(int errorCode) : Exception(Format(QStringLiteral("JPEG error #%d"), {errorCode})), ErrorCode(errorCode) {}

namespace {
// The library reports a fatal error by calling error_exit, which must not return: we jump
// back to the guard that started the library call and raise from there, so that no C++
// exception ever unwinds through the library's frames.
struct TErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    int Code = 0;
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
    err->Code = cinfo->err->msg_code;
    std::longjmp(err->Jump, 1);
}

// Warnings (a truncated file, a damaged marker) are not shown: the picture shows what it has.
void OutputMessage(j_common_ptr) {}

void InitErrorManager(TErrorManager& err)
{
    jpeg_std_error(&err.Pub);
    err.Pub.error_exit = ErrorExit;
    err.Pub.output_message = OutputMessage;
}

// Runs library calls; answers 0, or the library's error code when one of them failed. The
// callable must hold no object that needs destruction: a failure jumps over its frame.
template <typename F>
int Guarded(TErrorManager& err, F&& calls)
{
    if (setjmp(err.Jump)) return err.Code != 0 ? err.Code : JERR_BAD_STATE;
    calls();
    return 0;
}

[[noreturn]] void RaiseError(j_common_ptr cinfo, int code)
{
    cinfo->err->msg_code = code;
    cinfo->err->error_exit(cinfo);
    std::abort();   // error_exit never returns
}

constexpr int StreamBufferSize = 4096;

struct TStreamSource {
    jpeg_source_mgr Pub;
    QIODevice* Stream;
    bool StartOfFile;
    JOCTET Buffer[StreamBufferSize];
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<TStreamSource*>(cinfo->src)->StartOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
    qint64 n = src->Stream->read(reinterpret_cast<char*>(src->Buffer), StreamBufferSize);
    if (n <= 0) {
        if (src->StartOfFile) RaiseError(reinterpret_cast<j_common_ptr>(cinfo), JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // A truncated file ends as if its end marker were there.
        src->Buffer[0] = 0xFF;
        src->Buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->Pub.next_input_byte = src->Buffer;
    src->Pub.bytes_in_buffer = size_t(n);
    src->StartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > long(src->Pub.bytes_in_buffer)) {
        count -= long(src->Pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->Pub.next_input_byte += size_t(count);
    src->Pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

void SetStreamSource(j_decompress_ptr cinfo, TStreamSource& src, QIODevice* stream)
{
    src.Pub.init_source = InitSource;
    src.Pub.fill_input_buffer = FillInputBuffer;
    src.Pub.skip_input_data = SkipInputData;
    src.Pub.resync_to_restart = jpeg_resync_to_restart;
    src.Pub.term_source = TermSource;
    src.Pub.bytes_in_buffer = 0;
    src.Pub.next_input_byte = nullptr;
    src.Stream = stream;
    src.StartOfFile = true;
    cinfo->src = &src.Pub;
}

struct TStreamDestination {
    jpeg_destination_mgr Pub;
    QIODevice* Stream;
    JOCTET Buffer[StreamBufferSize];
};

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
    dest->Pub.next_output_byte = dest->Buffer;
    dest->Pub.free_in_buffer = StreamBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
    if (dest->Stream->write(reinterpret_cast<const char*>(dest->Buffer), StreamBufferSize) != StreamBufferSize)
        RaiseError(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
    dest->Pub.next_output_byte = dest->Buffer;
    dest->Pub.free_in_buffer = StreamBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
    const qint64 count = StreamBufferSize - qint64(dest->Pub.free_in_buffer);
    if (count > 0 && dest->Stream->write(reinterpret_cast<const char*>(dest->Buffer), count) != count)
        RaiseError(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
}

void SetStreamDestination(j_compress_ptr cinfo, TStreamDestination& dest, QIODevice* stream)
{
    dest.Pub.init_destination = InitDestination;
    dest.Pub.empty_output_buffer = EmptyOutputBuffer;
    dest.Pub.term_destination = TermDestination;
    dest.Stream = stream;
    cinfo->dest = &dest.Pub;
}

// The pixel layout of QImage::Format_RGB32 in memory.
constexpr J_COLOR_SPACE Rgb32Space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

void CmykRowToRgb32(const JSAMPLE* cmyk, uchar* out, int width, bool inverted)
{
    auto* px = reinterpret_cast<QRgb*>(out);
    for (int x = 0; x < width; ++x, cmyk += 4) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Adobe files store the ink inverted: the value is then the remaining light.
        px[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}
} // namespace

QImage DecodeJPEG(QIODevice& source, TJPEGScale scale, TJPEGPerformance performance, bool grayscale,
                  bool* progressive)
{
    jpeg_decompress_struct cinfo{};
    TErrorManager err;
    InitErrorManager(err);
    cinfo.err = &err.Pub;
    TStreamSource src;
    bool cmyk = false;
    bool multiScan = false;

    int code = Guarded(err, [&] {
        jpeg_create_decompress(&cinfo);
        SetStreamSource(&cinfo, src, &source);
        jpeg_read_header(&cinfo, TRUE);
        if (qint64(cinfo.image_width) * qint64(cinfo.image_height) > TJPEGImage::MaxPixels)
            RaiseError(reinterpret_cast<j_common_ptr>(&cinfo), JERR_IMAGE_TOO_BIG);
        cinfo.scale_num = 1;
        cinfo.scale_denom = 1u << unsigned(scale);
        if (performance == jpBestSpeed) {
            cinfo.dct_method = JDCT_IFAST;
            cinfo.do_fancy_upsampling = FALSE;
        } else {
            cinfo.dct_method = JDCT_ISLOW;
        }
        cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
        if (grayscale || cinfo.jpeg_color_space == JCS_GRAYSCALE)
            cinfo.out_color_space = JCS_GRAYSCALE;
        else
            cinfo.out_color_space = cmyk ? JCS_CMYK : Rgb32Space;
        multiScan = jpeg_has_multiple_scans(&cinfo);
        cinfo.buffered_image = multiScan ? TRUE : FALSE;
        jpeg_calc_output_dimensions(&cinfo);
    });
    if (code) {
        jpeg_destroy_decompress(&cinfo);
        throw EJPEG(code);
    }

    const bool gray = cinfo.out_color_space == JCS_GRAYSCALE;
    const bool cmykOut = cinfo.out_color_space == JCS_CMYK;
    const bool inverted = cinfo.saw_Adobe_marker;
    QImage image(int(cinfo.output_width), int(cinfo.output_height), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    std::vector<JSAMPLE> cmykRow;
    if (!image.isNull() && cmykOut) cmykRow.resize(size_t(cinfo.output_width) * 4);
    if (image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        throw EJPEG(JERR_OUT_OF_MEMORY);
    }
    const int width = image.width();
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    JSAMPLE* cmykBuffer = cmykRow.data();

    code = Guarded(err, [&] {
        jpeg_start_decompress(&cinfo);
        auto readRows = [&] {
            while (cinfo.output_scanline < cinfo.output_height) {
                uchar* line = bits + qsizetype(cinfo.output_scanline) * stride;
                JSAMPROW row = cmykOut ? cmykBuffer : line;
                if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
                if (cmykOut) CmykRowToRgb32(cmykBuffer, line, width, inverted);
            }
        };
        if (multiScan) {
            // Progressive data: take in every scan, then put out the finished picture once.
            int status;
            do {
                status = jpeg_consume_input(&cinfo);
            } while (status != JPEG_REACHED_EOI && status != JPEG_SUSPENDED);
            jpeg_start_output(&cinfo, cinfo.input_scan_number);
            readRows();
            jpeg_finish_output(&cinfo);
        } else {
            readRows();
        }
        jpeg_finish_decompress(&cinfo);
    });
    jpeg_destroy_decompress(&cinfo);
    if (code) throw EJPEG(code);
    if (progressive) *progressive = multiScan;
    return image;
}

void EncodeJPEG(const QImage& image, QIODevice& destination, int quality, bool progressive, bool grayscale)
{
    QImage source;
    if (!image.isNull())
        source = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_RGB32);
    const bool grayInput = source.format() == QImage::Format_Grayscale8;
    const uchar* bits = source.isNull() ? nullptr : source.constBits();
    const qsizetype stride = source.isNull() ? 0 : source.bytesPerLine();

    jpeg_compress_struct cinfo{};
    TErrorManager err;
    InitErrorManager(err);
    cinfo.err = &err.Pub;
    TStreamDestination dest;
    const int code = Guarded(err, [&] {
        jpeg_create_compress(&cinfo);
        SetStreamDestination(&cinfo, dest, &destination);
        cinfo.image_width = JDIMENSION(source.width());
        cinfo.image_height = JDIMENSION(source.height());
        cinfo.input_components = grayInput ? 1 : 4;
        cinfo.in_color_space = grayInput ? JCS_GRAYSCALE : Rgb32Space;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality, TRUE);
        if (grayscale && !grayInput) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
        if (progressive) jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(bits + qsizetype(cinfo.next_scanline) * stride);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
    jpeg_destroy_compress(&cinfo);
    if (code) throw EJPEG(code);
}

// ---------------------------------------------------------------------------------------------

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromStream(QIODevice& stream) { LoadFromBytes(stream.readAll()); }

void TJPEGImage::LoadFromBytes(const QByteArray& bytes)
{
    Clear();
    FData = bytes;
    try {
        Decode();
    } catch (...) {
        Clear();
        throw;
    }
}

void TJPEGImage::Decode()
{
    if (FData.isEmpty()) return;
    QBuffer buffer(&FData);
    buffer.open(QIODevice::ReadOnly);
    bool progressive = false;
    FImage = DecodeJPEG(buffer, FScale, FPerformance, FGrayscale, &progressive);
    FProgressiveData = progressive;
}

void TJPEGImage::SaveToStream(QIODevice& stream)
{
    if (FData.isEmpty() && !FImage.isNull()) Compress();
    if (stream.write(FData) != FData.size()) throw EWriteError(QStringLiteral("Stream write error"));
}

QByteArray TJPEGImage::SaveToBytes()
{
    if (FData.isEmpty() && !FImage.isNull()) Compress();
    return FData;
}

void TJPEGImage::Assign(const QImage& image)
{
    FData.clear();
    FProgressiveData = false;
    FImage = image.isNull() ? QImage()
           : image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_RGB32);
}

void TJPEGImage::Clear()
{
    FData.clear();
    FImage = QImage();
    FProgressiveData = false;
}

void TJPEGImage::Compress()
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EncodeJPEG(FImage, buffer, FQuality, FProgressiveEncoding, FGrayscale);
    FData = data;
    FProgressiveData = FProgressiveEncoding;
}

void TJPEGImage::SetCompressionQuality(int quality)
{
    quality = qBound(1, quality, 100);
    if (quality == FQuality) return;
    FQuality = quality;
    // The data no longer matches the settings: compressed again at the next save.
    if (!FImage.isNull()) FData.clear();
}

void TJPEGImage::SetProgressiveEncoding(bool progressive)
{
    if (progressive == FProgressiveEncoding) return;
    FProgressiveEncoding = progressive;
    if (!FImage.isNull()) FData.clear();
}

void TJPEGImage::SetGrayscale(bool grayscale)
{
    if (grayscale == FGrayscale) return;
    FGrayscale = grayscale;
    if (!FData.isEmpty()) Decode();
}

void TJPEGImage::SetScale(TJPEGScale scale)
{
    if (scale == FScale) return;
    FScale = scale;
    if (!FData.isEmpty()) Decode();
}

void TJPEGImage::SetPerformance(TJPEGPerformance performance)
{
    if (performance == FPerformance) return;
    FPerformance = performance;
    if (!FData.isEmpty()) Decode();
}
