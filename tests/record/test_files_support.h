#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "record/LoadedRow.h"

namespace corvel::test {

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A folder of its own for each test's files.
struct TempFolder {
    QTemporaryDir dir;
    std::string Path(const std::string& name) const {
        return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    // The names in the folder, to see that no temporary file is left.
    QStringList Names() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

// Collects rows as "No|time|Value|Unit|Value2|Unit2".
class CollectingSink : public RowSink {
public:
    std::vector<std::string> rows;
    void Row(const LoadedRow& row) override {
        std::string line = std::to_string(row.no);
        for (const auto& text : row.texts) {
            line += '|';
            line += text;
        }
        rows.push_back(line);
    }
};

}  // namespace corvel::test
