#include "TIniFile.h"

#include "io/SafeWrite.h"

#include "Exception.h"
#include "text/FloatText.h"
#include "text/IntText.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace {

constexpr qsizetype MaxValueLength = 2047;

// One line of the file as stored. Lines that a write does not touch are put
// back from these bytes, so their encoding and line ends survive unchanged.
struct Line {
    QByteArray text;
    QByteArray end; // "\r\n", "\n", "\r", or empty for a last line without one
};

struct Lines {
    QByteArray byteOrderMark;
    std::vector<Line> lines;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;
    QString value; // raw value text, blanks trimmed, for keys only
};

// Where a section and key were found: line indexes, or -1.
struct Location {
    qsizetype sectionLine = -1;
    qsizetype keyLine = -1;
    qsizetype lastKeyLine = -1; // the header when the section has no keys
    QString keyName;            // as spelled in the file
    QString rawValue;
};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.mid(first, last - first).toString();
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool isQuoted(const QString& value) {
    if (value.size() < 2)
        return false;
    const QChar q = value.front();
    return (q == u'"' || q == u'\'') && value.back() == q;
}

Lines splitLines(const QByteArray& bytes) {
    Lines doc;
    qsizetype pos = 0;
    const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        doc.byteOrderMark = bom;
        pos = bom.size();
    }
    qsizetype start = pos;
    while (pos < bytes.size()) {
        const char c = bytes[pos];
        if (c == '\n' || c == '\r') {
            const qsizetype endLength = (c == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') ? 2 : 1;
            doc.lines.push_back({bytes.mid(start, pos - start), bytes.mid(pos, endLength)});
            pos += endLength;
            start = pos;
        } else {
            ++pos;
        }
    }
    if (start < bytes.size())
        doc.lines.push_back({bytes.mid(start), QByteArray()});
    return doc;
}

// Windows-1252 where it differs from Latin-1 (0x80..0x9F); 0 for unused codes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// UTF-8 where the bytes are valid UTF-8, else Windows-1252.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t high = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : 0;
        text += QChar(high ? high : char16_t(b));
    }
    return text;
}

ParsedLine parseLine(const QByteArray& raw) {
    const QString line = trimBlanks(decode(raw));
    ParsedLine parsed;
    if (line.startsWith(u'[')) {
        const qsizetype close = line.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = trimBlanks(QStringView(line).mid(1, close - 1));
            return parsed;
        }
    }
    if (line.startsWith(u';'))
        return parsed;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return parsed;
    parsed.name = trimBlanks(QStringView(line).left(eq));
    if (parsed.name.isEmpty())
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.value = trimBlanks(QStringView(line).mid(eq + 1));
    return parsed;
}

Location locate(const std::vector<ParsedLine>& lines, const QString& section, const QString& key) {
    Location loc;
    const QString wantedSection = trimBlanks(section);
    const QString wantedKey = trimBlanks(key);
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const ParsedLine& parsed = lines[std::size_t(i)];
        if (parsed.kind == LineKind::Section) {
            if (loc.sectionLine >= 0)
                break; // only the first section of that name counts
            if (sameName(parsed.name, wantedSection)) {
                loc.sectionLine = i;
                loc.lastKeyLine = i;
            }
        } else if (parsed.kind == LineKind::Key && loc.sectionLine >= 0) {
            loc.lastKeyLine = i;
            if (loc.keyLine < 0 && sameName(parsed.name, wantedKey)) {
                loc.keyLine = i;
                loc.keyName = parsed.name;
                loc.rawValue = parsed.value;
            }
        }
    }
    return loc;
}

// A stored value as it reads: without its quotes, cut to the longest value.
QString readValue(QString value) {
    if (isQuoted(value))
        value = value.mid(1, value.size() - 2);
    if (value.size() > MaxValueLength) {
        value.truncate(MaxValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

// A line break inside a name or value would split its line in two.
QString singleLine(const QString& text) {
    QString result = text;
    result.replace(u'\r', u' ');
    result.replace(u'\n', u' ');
    return result;
}

// Quoted when reading would otherwise trim blanks or strip quotes from it.
// Values are written as they stand, as the classic functions do: a quoted
// file name is read back without its quotes.
QString encodeValue(const QString& value) {
    return singleLine(value);
}

QByteArray lineEndOf(const Lines& doc) {
    for (const Line& line : doc.lines) {
        if (!line.end.isEmpty())
            return line.end;
    }
    return QByteArrayLiteral("\r\n");
}

bool isBlankLine(const Line& line) {
    return trimBlanks(decode(line.text)).isEmpty();
}

// What identifies the file's state on disk, to see whether it changed.
struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

Stamp stampOf(const struct stat& st) {
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

} // namespace

// The parsed file, and an index of its first sections and keys.
struct TIniFile::Document {
    Lines text;
    std::vector<ParsedLine> parsed;
    Stamp stamp;
    QString loadError;  // not readable: reads give defaults, writes fail
    bool dirty = false; // changed in memory, not yet stored
    // Lower-case section name -> its header line, and its keys -> their lines.
    struct Section {
        qsizetype line = -1;
        QHash<QString, qsizetype> keys;
    };
    QHash<QString, Section> index;
    bool indexed = false;

    void reparse() {
        parsed.clear();
        parsed.reserve(text.lines.size());
        for (const Line& line : text.lines)
            parsed.push_back(parseLine(line.text));
        indexed = false;
    }
    // Keys before the first section do not count; of a repeated section or
    // key, the first counts.
    void buildIndex() {
        index.clear();
        Section* current = nullptr;
        for (qsizetype i = 0; i < qsizetype(parsed.size()); ++i) {
            const ParsedLine& p = parsed[std::size_t(i)];
            if (p.kind == LineKind::Section) {
                const QString name = p.name.toLower();
                current = index.contains(name) ? nullptr : &index[name];
                if (current)
                    current->line = i;
            } else if (p.kind == LineKind::Key && current) {
                const QString name = p.name.toLower();
                if (!current->keys.contains(name))
                    current->keys.insert(name, i);
            }
        }
        indexed = true;
    }
};

TIniFile::TIniFile(const QString& fileName) : m_fileName(fileName) {}

TIniFile::~TIniFile() = default;

// The document, read and parsed again only when the file changed on disk
// (and never while writes wait for Commit).
TIniFile::Document& TIniFile::document() const {
    if (m_doc && m_doc->dirty)
        return *m_doc;
    const QByteArray name = QFile::encodeName(m_fileName);
    struct stat st {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    const Stamp now = exists ? stampOf(st) : Stamp{};
    if (m_doc && m_doc->stamp == now && m_doc->loadError.isEmpty())
        return *m_doc;
    m_doc = std::make_unique<Document>();
    m_doc->stamp = now;
    if (!exists)
        return *m_doc;
    // Look before opening: opening a FIFO or a device may block.
    if (!S_ISREG(st.st_mode)) {
        m_doc->loadError = QStringLiteral("%1 is not a regular file").arg(m_fileName);
        return *m_doc;
    }
    QFile file(m_fileName);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        m_doc->loadError = QStringLiteral("Cannot read %1").arg(m_fileName);
        return *m_doc;
    }
    m_doc->text = splitLines(file.readAll());
    m_doc->reparse();
    return *m_doc;
}

QString TIniFile::LoadError() const {
    return document().loadError;
}

void TIniFile::BeginUpdate() {
    m_updating = true;
}

void TIniFile::Commit() {
    m_updating = false;
    if (m_doc && m_doc->dirty)
        store();
}

void TIniFile::store() {
    Document& doc = *m_doc;
    QByteArray bytes = doc.text.byteOrderMark;
    for (const Line& line : doc.text.lines)
        bytes += line.text + line.end;
    const bool written = safewrite::ReplaceFile(m_fileName, bytes);
    // Either way, the next use reads the file as it now is.
    doc.dirty = false;
    doc.stamp = Stamp{};
    if (!written)
        throw Exception(QStringLiteral("Unable to write to %1").arg(m_fileName));
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    Document& doc = document();
    if (!doc.indexed)
        doc.buildIndex();
    const auto found = doc.index.constFind(trimBlanks(section).toLower());
    if (found == doc.index.cend())
        return defaultValue;
    const auto line = found->keys.constFind(trimBlanks(key).toLower());
    if (line == found->keys.cend())
        return defaultValue;
    return readValue(doc.parsed[std::size_t(*line)].value);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    Document& doc = document();
    // Writing over a file that cannot be read would lose its other settings.
    if (!doc.loadError.isEmpty()) {
        if (!m_updating)
            throw Exception(QStringLiteral("Unable to write to %1").arg(m_fileName));
        doc.dirty = true; // Commit() reports it
        return;
    }
    std::vector<Line>& lines = doc.text.lines;
    const QByteArray eol = lineEndOf(doc.text);
    const auto terminate = [&](qsizetype index) {
        if (lines[std::size_t(index)].end.isEmpty())
            lines[std::size_t(index)].end = eol;
    };
    const QString sectionName = trimBlanks(singleLine(section));
    const QString keyName = trimBlanks(singleLine(key));
    const QString text = encodeValue(value);
    const Location loc = locate(doc.parsed, sectionName, keyName);

    if (loc.keyLine >= 0) {
        // The value it already holds: its bytes stay as they are.
        if (loc.rawValue == text)
            return;
        lines[std::size_t(loc.keyLine)].text = loc.keyName.toUtf8() + '=' + text.toUtf8();
        doc.parsed[std::size_t(loc.keyLine)] = parseLine(lines[std::size_t(loc.keyLine)].text);
    } else {
        if (loc.sectionLine >= 0) {
            terminate(loc.lastKeyLine);
            lines.insert(lines.begin() + loc.lastKeyLine + 1, Line{keyName.toUtf8() + '=' + text.toUtf8(), eol});
        } else {
            if (!lines.empty()) {
                terminate(qsizetype(lines.size()) - 1);
                if (!isBlankLine(lines.back()))
                    lines.push_back({QByteArray(), eol});
            }
            lines.push_back({'[' + sectionName.toUtf8() + ']', eol});
            lines.push_back({keyName.toUtf8() + '=' + text.toUtf8(), eol});
        }
        doc.reparse();
    }
    doc.indexed = false;
    doc.dirty = true;
    if (!m_updating)
        store();
}

std::int32_t TIniFile::ReadInteger(const QString& section, const QString& key, std::int32_t defaultValue) const {
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    return inttext::parse(text).value_or(defaultValue);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, std::int32_t value) {
    WriteString(section, key, QString::number(value));
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double defaultValue,
                           QChar decimalSeparator) const {
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    return floattext::parseFloat(text, decimalSeparator).value_or(defaultValue);
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value, QChar decimalSeparator) {
    WriteString(section, key, floattext::general15(value, decimalSeparator));
}
