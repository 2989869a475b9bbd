#include "jpeg.h"

#include "base/failure.h"
#include "dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// Runs libjpeg over `data` into `*image`; on damaged data returns false with libjpeg's text in `message`.
// No C++ object with a destructor lives in this frame, so leaving it by longjmp skips no destructor.
bool decodeInto(const QByteArray& data, QImage* image, char (&message)[JMSG_LENGTH_MAX]) {
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        std::memcpy(message, err.message, sizeof message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                    QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    QImage image;
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeInto(data, &image, message))
        throw Failure(QStringLiteral("JPEG error: ") + QString::fromLatin1(message));
    return image;
}

QImage loadJpeg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open file \"%1\"").arg(path));
    return decodeJpeg(file.readAll());
}

void DeferredJpeg::setFile(const QString& path) {
    m_image = QImage();
    m_file = path;
}

void DeferredJpeg::setImage(const QImage& image) {
    m_image = image;
    m_file.clear();
}

const QImage& DeferredJpeg::image() const {
    if (m_file.isEmpty())
        return m_image;
    try {
        m_image = loadJpeg(std::exchange(m_file, QString()));
    } catch (const Failure& f) {
        // Asked for while painting, where a failure cannot unwind: it is reported once painting is over.
        QTimer::singleShot(0, qApp, [text = f.text()]() { reportFailure(text); });
    }
    return m_image;
}
