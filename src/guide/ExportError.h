#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace orvalink::guide {

// A failure of the guide image pipeline that is not a file-system error (those arrive as
// platform::PlatformError). The description is the line the export prints.
class ExportError : public std::exception {
public:
    enum class Case {
        bitmapUnavailable,
        pngEncodingFailed,
        gifEncodingFailed,
    };

    explicit ExportError(Case errorCase);

    Case errorCase() const { return m_case; }
    // The fixed English sentence of the case.
    QString errorDescription() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Case m_case;
    QByteArray m_what;
};

} // namespace orvalink::guide
