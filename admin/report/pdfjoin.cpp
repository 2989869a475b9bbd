#include "pdfjoin.h"

#include <QByteArrayView>
#include <QHash>
#include <QIODevice>
#include <QVector>

#include <algorithm>

namespace report {

namespace {

const QByteArrayView reference(" 0 R");

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The whole number right after `key` in `text`, or -1.
qint64 numberAfter(QByteArrayView text, QByteArrayView key) {
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return -1;
    qsizetype end = at + key.size();
    while (end < text.size() && isDigit(text.at(end)))
        ++end;
    bool ok = false;
    const qint64 number = text.sliced(at + key.size(), end - at - key.size()).toLongLong(&ok);
    return ok ? number : -1;
}

// Rewrites every indirect reference "N 0 R" of `text` through `renumber`; false when it gives -1.
template <typename Renumber> bool rewriteReferences(QByteArrayView text, Renumber renumber, QByteArray& out) {
    qsizetype copied = 0;
    for (qsizetype at = text.indexOf(reference); at >= 0;
         at = text.indexOf(reference, at + reference.size())) {
        qsizetype begin = at;
        while (begin > 0 && isDigit(text.at(begin - 1)))
            --begin;
        const qsizetype after = at + reference.size();
        if (begin == at || (after < text.size() && QChar::isLetterOrNumber(uchar(text.at(after)))))
            continue;
        const int number = renumber(text.sliced(begin, at - begin).toInt());
        if (number < 0)
            return false;
        out += text.sliced(copied, begin - copied);
        out += QByteArray::number(number);
        copied = at;
    }
    out += text.sliced(copied);
    return true;
}

// The parts of a PDF file that joining needs; objects are read from the file when asked for.
class PdfFile {
public:
    explicit PdfFile(QIODevice& in) : m_in(in) { m_valid = read(); }

    bool valid() const { return m_valid; }
    int size() const { return int(m_offsets.size()); } // objects, counting object 0
    int root() const { return m_root; }
    int info() const { return m_info; }
    int pages() const { return m_pages; }
    qint64 count() const { return m_count; }
    // The page tree object, and where the list of its pages ends in it.
    const QByteArray& tree() const { return m_tree; }
    qsizetype kidsEnd() const { return m_kidsEnd; }
    QByteArrayView kids() const {
        return QByteArrayView(m_tree).sliced(m_kidsBegin, m_kidsEnd - m_kidsBegin);
    }
    // What comes before the first object: the version and the line that marks the file as binary.
    QByteArray header() const { return range(0, m_firstObject); }
    // Object `number` from "number 0 obj" up to the next object; empty when it is not there.
    QByteArray object(int number) const {
        QByteArray bytes = range(m_offsets.at(number), m_ends.at(number));
        return bytes.startsWith(QByteArray::number(number) + " 0 obj") ? bytes : QByteArray();
    }

private:
    bool read();
    QByteArray range(qint64 begin, qint64 end) const {
        return m_in.seek(begin) ? m_in.read(end - begin) : QByteArray();
    }

    QIODevice& m_in;
    bool m_valid = false;
    QVector<qint64> m_offsets;
    QVector<qint64> m_ends;
    qint64 m_firstObject = 0;
    int m_root = -1;
    int m_info = -1;
    int m_pages = -1;
    qint64 m_count = -1;
    QByteArray m_tree;
    qsizetype m_kidsBegin = 0;
    qsizetype m_kidsEnd = 0;
};

bool PdfFile::read() {
    const qint64 size = m_in.size();
    const QByteArray end = range(std::max<qint64>(0, size - 64), size);
    const qsizetype start = end.lastIndexOf("startxref");
    if (start < 0)
        return false;
    const qint64 xref = numberAfter(QByteArrayView(end).sliced(start), "startxref\n");
    if (xref <= 0 || xref >= size)
        return false;
    const QByteArray tail = range(xref, size);
    if (!tail.startsWith("xref\n0 "))
        return false;
    const qint64 objects = numberAfter(tail, "xref\n0 ");
    // Entries are 20 bytes each: a 10-digit offset, a generation, "n" or "f", two bytes of line end.
    const qint64 table = tail.indexOf('\n', 7) + 1;
    if (objects < 2 || table <= 0 || table + objects * 20 > tail.size())
        return false;
    m_offsets.resize(objects);
    for (qint64 i = 1; i < objects; ++i) {
        const QByteArrayView entry = QByteArrayView(tail).sliced(table + i * 20, 20);
        bool ok = false;
        m_offsets[i] = entry.first(10).toLongLong(&ok);
        if (!ok || entry.at(17) != 'n' || m_offsets[i] <= 0 || m_offsets[i] >= xref)
            return false;
    }
    const QByteArrayView trailer = QByteArrayView(tail).sliced(table + objects * 20);
    m_root = int(numberAfter(trailer, "/Root "));
    m_info = int(numberAfter(trailer, "/Info "));
    if (m_root <= 0 || m_root >= objects || m_info <= 0 || m_info >= objects)
        return false;
    // Every object runs up to the next one in the file, the last up to the table.
    QVector<qint64> sorted(m_offsets.cbegin() + 1, m_offsets.cend());
    std::sort(sorted.begin(), sorted.end());
    m_firstObject = sorted.first();
    m_ends.resize(objects);
    for (qint64 i = 1; i < objects; ++i) {
        const auto next = std::upper_bound(sorted.cbegin(), sorted.cend(), m_offsets[i]);
        m_ends[i] = next == sorted.cend() ? xref : *next;
    }
    m_pages = int(numberAfter(object(m_root), "/Pages "));
    if (m_pages <= 0 || m_pages >= objects)
        return false;
    m_tree = object(m_pages);
    const qsizetype kids = m_tree.indexOf("/Kids");
    m_kidsBegin = m_tree.indexOf('[', kids) + 1;
    m_kidsEnd = m_tree.indexOf(']', m_kidsBegin);
    m_count = numberAfter(m_tree, "/Count ");
    return kids >= 0 && m_kidsBegin > 0 && m_kidsEnd >= 0 && m_count > 0;
}

} // namespace

bool joinPdfs(const std::array<QIODevice*, 2>& files, QIODevice& file) {
    const PdfFile a(*files[0]);
    const PdfFile b(*files[1]);
    if (!a.valid() || !b.valid())
        return false;
    // The second file's objects follow the first's, without its own document information, catalogue and page
    // tree: its pages join the first's page tree.
    QHash<int, int> numbers;
    int next = a.size();
    for (int i = 1; i < b.size(); ++i)
        if (i != b.info() && i != b.root() && i != b.pages())
            numbers.insert(i, next++);
    numbers.insert(b.pages(), a.pages());
    const auto renumber = [&](int number) { return numbers.value(number, -1); };

    // Written a piece at a time, so that the whole file is never held a second time.
    QByteArray out;
    qint64 written = 0;
    const auto flush = [&]() {
        written += out.size();
        const bool ok = file.write(out) == out.size();
        out.clear();
        return ok;
    };
    out += a.header();
    QVector<qint64> offsets(next, 0);
    for (int i = 1; i < a.size(); ++i) {
        if (out.size() > (1 << 20) && !flush())
            return false;
        offsets[i] = written + out.size();
        if (i != a.pages()) {
            const QByteArray object = a.object(i);
            if (object.isEmpty())
                return false;
            out += object;
            continue;
        }
        const QByteArrayView tree = a.tree();
        const qsizetype kidsEnd = a.kidsEnd();
        out += tree.first(kidsEnd);
        if (!rewriteReferences(b.kids(), renumber, out))
            return false;
        const QByteArrayView rest = tree.sliced(kidsEnd);
        const qsizetype count = rest.indexOf(QByteArrayView("/Count "));
        const qsizetype countEnd = rest.indexOf('\n', count);
        if (count < 0 || countEnd < 0)
            return false;
        out += rest.first(count);
        out += "/Count " + QByteArray::number(a.count() + b.count());
        out += rest.sliced(countEnd);
    }
    for (int i = 1; i < b.size(); ++i) {
        if (i == b.pages() || !numbers.contains(i))
            continue;
        const int number = numbers.value(i);
        if (out.size() > (1 << 20) && !flush())
            return false;
        offsets[number] = written + out.size();
        const QByteArray object = b.object(i);
        if (object.isEmpty())
            return false;
        const QByteArray head = QByteArray::number(i) + " 0 obj";
        // Stream data is copied as it is: only the dictionary before it holds references.
        qsizetype stream = object.indexOf(QByteArrayView("stream\n"));
        if (stream < 0)
            stream = object.size();
        out += QByteArray::number(number) + " 0 obj";
        if (!rewriteReferences(object.sliced(head.size(), stream - head.size()), renumber, out))
            return false;
        out += object.sliced(stream);
    }
    const qint64 xref = written + out.size();
    out += "xref\n0 " + QByteArray::number(next) + "\n0000000000 65535 f \n";
    for (int i = 1; i < next; ++i)
        out += QByteArray::number(offsets[i]).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<<\n/Size " + QByteArray::number(next) + " \n/Info " + QByteArray::number(a.info()) +
           " 0 R\n/Root " + QByteArray::number(a.root()) + " 0 R\n>>\nstartxref\n" +
           QByteArray::number(xref) + " \n%%EOF\n";
    return flush();
}

} // namespace report
