#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace dorv {

namespace {

// Pictures beyond this many pixels are refused before anything is allocated: a damaged header can
// claim sizes that would exhaust memory.
constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;

// libjpeg's default error handler calls exit(); ours jumps back to the decoder instead and keeps
// the library's own wording of what went wrong.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Everything that must still be valid after a longjmp lives here and is reached through a pointer,
// so its contents are in memory rather than in registers the jump would discard.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    QImage image;
    QString problem;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// At the end of its input libjpeg only warns and pads the picture with grey; a truncated file is
// nevertheless a broken one, so that warning is promoted to an error. Other warnings are recoverable
// quirks of real-world files and are ignored.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        onError(cinfo);
}

void convertCmykRow(const JSAMPLE* in, uchar* out, JDIMENSION width, bool inverted)
{
    // Adobe writes CMYK inverted; either way the conversion is the naive one, which is fine for
    // showing a picture.
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = uchar(c * k / 255);
        out[1] = uchar(m * k / 255);
        out[2] = uchar(y * k / 255);
    }
}

// Returns false with s->problem set when the data cannot be decoded. No object with a destructor
// may be created between setjmp and a possible longjmp in this function.
bool decodeInto(DecodeState* s, const unsigned char* bytes, unsigned long size)
{
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = onError;
    s->err.pub.emit_message = onMessage;
    s->err.message[0] = '\0';
    if (setjmp(s->err.jump)) {
        jpeg_destroy_decompress(&s->cinfo);
        s->image = QImage();
        s->problem = QString::fromLocal8Bit(s->err.message);
        return false;
    }
    jpeg_create_decompress(&s->cinfo);
    jpeg_mem_src(&s->cinfo, bytes, size);
    jpeg_read_header(&s->cinfo, TRUE);

    bool cmyk = false;
    switch (s->cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        s->cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        s->cinfo.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        s->cinfo.out_color_space = JCS_RGB;
        break;
    }
    jpeg_start_decompress(&s->cinfo);

    const JDIMENSION width = s->cinfo.output_width;
    const JDIMENSION height = s->cinfo.output_height;
    if (width == 0 || height == 0 || qint64(width) * qint64(height) > kMaxPixels) {
        jpeg_destroy_decompress(&s->cinfo);
        s->problem = QStringLiteral("размер %1 × %2 недопустим").arg(width).arg(height);
        return false;
    }
    const bool gray = s->cinfo.out_color_space == JCS_GRAYSCALE;
    s->image = QImage(int(width), int(height), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (s->image.isNull()) {
        jpeg_destroy_decompress(&s->cinfo);
        s->problem = QStringLiteral("не хватает памяти для картинки %1 × %2").arg(width).arg(height);
        return false;
    }

    // CMYK rows need a wider buffer than the image's own; it belongs to libjpeg's pool, so the
    // jump on error frees it together with the decoder.
    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*s->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s->cinfo), JPOOL_IMAGE, width * 4, 1);
    const bool inverted = cmyk && s->cinfo.saw_Adobe_marker;
    while (s->cinfo.output_scanline < height) {
        uchar* line = s->image.scanLine(int(s->cinfo.output_scanline));
        if (cmyk) {
            jpeg_read_scanlines(&s->cinfo, cmykRow, 1);
            convertCmykRow(cmykRow[0], line, width, inverted);
        } else {
            JSAMPROW row = line;
            jpeg_read_scanlines(&s->cinfo, &row, 1);
        }
    }
    jpeg_finish_decompress(&s->cinfo);
    jpeg_destroy_decompress(&s->cinfo);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& data, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = QStringLiteral("Картинка JPEG повреждена или не является JPEG: %1").arg(why);
        return QImage();
    };
    if (data.isEmpty())
        return fail(QStringLiteral("данных нет"));
    // Anything that does not start with the JPEG start-of-image marker is foreign data; saying so
    // is clearer than libjpeg's wording about markers.
    if (data.size() < 3 || uchar(data[0]) != 0xFF || uchar(data[1]) != 0xD8 || uchar(data[2]) != 0xFF)
        return fail(QStringLiteral("это не JPEG"));

    DecodeState state;
    std::memset(&state.cinfo, 0, sizeof state.cinfo);
    if (!decodeInto(&state, reinterpret_cast<const unsigned char*>(data.constData()),
                    static_cast<unsigned long>(data.size())))
        return fail(state.problem);
    if (error)
        error->clear();
    return state.image;
}

} // namespace dorv
