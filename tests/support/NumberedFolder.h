#pragma once

#include <QString>

namespace orvalink::test {

// A new folder below a base folder, named by the base's prefix and six random digits, removed with
// everything in it when the object dies. Digits only: the listing's search matches a query against
// an entry's whole path, and random letters there could hold a test's query in order (as
// QTemporaryDir's names do now and then).
class NumberedFolder {
public:
    // `prefix` is the folder's path up to the digits, "/tmp/home-" say.
    explicit NumberedFolder(const QString& prefix);
    ~NumberedFolder();
    NumberedFolder(const NumberedFolder&) = delete;
    NumberedFolder& operator=(const NumberedFolder&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    QString m_path;
};

} // namespace orvalink::test
