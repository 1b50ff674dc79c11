#pragma once

#include <QChar>
#include <QString>

#include <cstdint>
#include <memory>

// The program's settings file: "[Section]" headers followed by "Key=value"
// lines, read and written the way the classic Windows profile functions do,
// so a file written by them or edited by hand reads the same.
//
// The file is parsed once and parsed again only when it has changed on disk
// since (another writer, a hand edit). Every write puts the whole new file in
// place at once (written beside it, then renamed over it), so a failed write
// leaves the previous file untouched; between BeginUpdate() and Commit() the
// writes are collected and go to disk together, as one replacement.
//
// Text that is not valid UTF-8 is read as Windows-1252, the code page such
// files come from; a key written with the value it already holds keeps its
// bytes, so a save without edits changes nothing. Anything but a regular
// file (a FIFO, a device, a folder) reads as empty, never blocks, and cannot
// be written.
//
// Reading: section and key names match without regard to case, blanks
// (spaces, tabs) around names and values are ignored, a value enclosed in
// matching double or single quotes is read without them and is then cut to
// its first 2047 characters. The first of a repeated section or key counts.
// Lines before the first section, lines without "=" and lines starting with
// ";" are not keys. A missing or unreadable file reads as empty.
//
// Writing: an existing key is rewritten in its line, a new key goes after the
// last key of its section, a new section goes at the end of the file after a
// blank line. Every other line keeps its bytes. A new file uses CR LF, an
// existing one keeps the line end it already uses. CR and LF in names and
// values are written as spaces; values are otherwise written unchanged. A write that cannot be completed
// throws Exception("Unable to write to <file name>").
class TIniFile {
public:
    explicit TIniFile(const QString& fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    // Why the file could not be read ("... is not a regular file"), or empty.
    QString LoadError() const;

    // Collects the following writes; Commit() writes them all at once, or
    // throws Exception("Unable to write to <file name>") and changes nothing.
    void BeginUpdate();
    void Commit();

    const QString& FileName() const { return m_fileName; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    void WriteString(const QString& section, const QString& key, const QString& value);

    // The program's whole-number syntax (decimal, or hex after "$", "x" or
    // "0x"); empty, missing or malformed text gives the default.
    std::int32_t ReadInteger(const QString& section, const QString& key, std::int32_t defaultValue) const;
    void WriteInteger(const QString& section, const QString& key, std::int32_t value);

    // Stored as "1"/"0"; any non-zero whole number reads as true, text that
    // is not a number ("true", "yes") gives the default.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    void WriteBool(const QString& section, const QString& key, bool value);

    // Fifteen significant digits with the given decimal separator; text that
    // does not convert with that separator gives the default.
    double ReadFloat(const QString& section, const QString& key, double defaultValue, QChar decimalSeparator) const;
    void WriteFloat(const QString& section, const QString& key, double value, QChar decimalSeparator);

private:
    struct Document;
    Document& document() const;
    void store();

    QString m_fileName;
    mutable std::unique_ptr<Document> m_doc;
    bool m_updating = false;
};
