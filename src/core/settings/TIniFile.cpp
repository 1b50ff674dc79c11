#include "TIniFile.h"

#include "io/SafeWrite.h"

#include "Exception.h"
#include "text/FloatText.h"
#include "text/IntText.h"

#include <QByteArray>
#include <QFile>

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

struct Document {
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

Document splitLines(const QByteArray& bytes) {
    Document doc;
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

ParsedLine parseLine(const QByteArray& raw) {
    const QString line = trimBlanks(QString::fromUtf8(raw));
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

Location locate(const Document& doc, const QString& section, const QString& key) {
    Location loc;
    const QString wantedSection = trimBlanks(section);
    const QString wantedKey = trimBlanks(key);
    for (qsizetype i = 0; i < qsizetype(doc.lines.size()); ++i) {
        const ParsedLine parsed = parseLine(doc.lines[i].text);
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

// The stored value, or nothing when the file, section or key is missing.
std::optional<QString> lookup(const QString& fileName, const QString& section, const QString& key) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const Location loc = locate(splitLines(file.readAll()), section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    QString value = loc.rawValue;
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

QByteArray lineEndOf(const Document& doc) {
    for (const Line& line : doc.lines) {
        if (!line.end.isEmpty())
            return line.end;
    }
    return QByteArrayLiteral("\r\n");
}

bool isBlankLine(const Line& line) {
    return trimBlanks(QString::fromUtf8(line.text)).isEmpty();
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : m_fileName(fileName) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    return lookup(m_fileName, section, key).value_or(defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString failure = QStringLiteral("Unable to write to %1").arg(m_fileName);

    QByteArray old;
    QFile current(m_fileName);
    if (current.exists()) {
        // Writing over a file that cannot be read would lose its other settings.
        if (!current.open(QIODevice::ReadOnly))
            throw Exception(failure);
        old = current.readAll();
        current.close();
    }

    Document doc = splitLines(old);
    const QByteArray eol = lineEndOf(doc);
    const auto terminate = [&](qsizetype index) {
        if (doc.lines[index].end.isEmpty())
            doc.lines[index].end = eol;
    };
    const QString sectionName = trimBlanks(singleLine(section));
    const QString keyName = trimBlanks(singleLine(key));
    const QByteArray encoded = encodeValue(value).toUtf8();
    const Location loc = locate(doc, sectionName, keyName);

    if (loc.keyLine >= 0) {
        doc.lines[loc.keyLine].text = loc.keyName.toUtf8() + '=' + encoded;
    } else if (loc.sectionLine >= 0) {
        terminate(loc.lastKeyLine);
        doc.lines.insert(doc.lines.begin() + loc.lastKeyLine + 1, Line{keyName.toUtf8() + '=' + encoded, eol});
    } else {
        if (!doc.lines.empty()) {
            terminate(qsizetype(doc.lines.size()) - 1);
            if (!isBlankLine(doc.lines.back()))
                doc.lines.push_back({QByteArray(), eol});
        }
        doc.lines.push_back({'[' + sectionName.toUtf8() + ']', eol});
        doc.lines.push_back({keyName.toUtf8() + '=' + encoded, eol});
    }

    QByteArray bytes = doc.byteOrderMark;
    for (const Line& line : doc.lines)
        bytes += line.text + line.end;

    if (!safewrite::ReplaceFile(m_fileName, bytes))
        throw Exception(failure);
}

std::int32_t TIniFile::ReadInteger(const QString& section, const QString& key, std::int32_t defaultValue) const {
    const std::optional<QString> text = lookup(m_fileName, section, key);
    if (!text || text->isEmpty())
        return defaultValue;
    return inttext::parse(*text).value_or(defaultValue);
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
    const std::optional<QString> text = lookup(m_fileName, section, key);
    if (!text || text->isEmpty())
        return defaultValue;
    return floattext::parseFloat(*text, decimalSeparator).value_or(defaultValue);
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value, QChar decimalSeparator) {
    WriteString(section, key, floattext::general15(value, decimalSeparator));
}
