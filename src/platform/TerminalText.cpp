#include "platform/TerminalText.h"

#include <QtGlobal>

namespace orvalink::platform {

namespace {

// The length of the valid UTF-8 sequence that starts at `at` (1 for ASCII), 0 when none does:
// overlong forms, surrogates, code points past U+10FFFF and cut sequences are not valid.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) {
        return i < bytes.size() ? quint8(bytes[i]) : 0;
    };
    const quint8 lead = byte(at);
    qsizetype length = 0;
    quint8 low = 0x80; // the range of the byte after the lead
    quint8 high = 0xbf;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xbf)
            return 0;
    }
    return length;
}

// Set once, before any message can arrive.
QtMessageHandler g_nextHandler = nullptr;

void escapingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_nextHandler(type, context, terminalSafe(message));
}

void appendHex(QByteArray& out, quint8 byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xf];
}

void appendControl(QByteArray& out, quint8 byte)
{
    switch (byte) {
    case '\a':
        out += "\\a";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\v':
        out += "\\v";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\r':
        out += "\\r";
        return;
    case 0x1b:
        out += "\\e";
        return;
    default:
        appendHex(out, byte);
    }
}

} // namespace

QByteArray terminalSafe(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto lead = quint8(bytes[at]);
        const qsizetype length = sequenceLength(bytes, at);
        if (length == 0) {
            appendHex(out, lead);
            ++at;
        } else if (length == 1 && (lead < 0x20 || lead == 0x7f)) {
            appendControl(out, lead);
            ++at;
        } else if (lead == '\\') {
            out += "\\\\";
            ++at;
        } else if (lead == 0xc2 && quint8(bytes[at + 1]) <= 0x9f) { // U+0080 to U+009F
            appendHex(out, lead);
            appendHex(out, quint8(bytes[at + 1]));
            at += 2;
        } else {
            out += bytes.sliced(at, length);
            at += length;
        }
    }
    return out;
}

QString terminalSafe(const QString& text)
{
    return QString::fromUtf8(terminalSafe(QByteArrayView(text.toUtf8())));
}

QString shellWord(const QString& path)
{
    const QByteArray raw = path.toUtf8();
    const QByteArray safe = terminalSafe(QByteArrayView(raw));
    if (safe == raw) {
        QString quoted = path;
        quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
        return QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    QString escaped = QString::fromUtf8(safe);
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QStringLiteral("$'") + escaped + QLatin1Char('\'');
}

void escapeLogMessages()
{
    // Answers Qt's own handler when none was installed.
    g_nextHandler = qInstallMessageHandler(escapingHandler);
}

} // namespace orvalink::platform
