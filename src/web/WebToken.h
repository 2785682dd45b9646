#pragma once

// The dashboard's access token: 128 random bits, written as 32 hexadecimal digits in the file
// web-token beside Glimrow.cfg, readable by its owner only. Made at first use and kept, so a
// phone's bookmark keeps working across restarts; deleting the file makes a new one.

#include <QString>

#include <optional>

namespace glimrow {

class WebToken {
public:
    // The token file in the folder Glimrow.cfg is read from.
    static QString pathBeside(const QString& configFilePath);
    // The token in `path`, made first when the file is missing or holds no token. Nothing when
    // the file cannot be read or written, and why.
    static std::optional<QString> loadOrCreate(const QString& path, QString* problem);
    // Whether `given` is `token`, taking as long whatever it holds.
    static bool matches(const QString& given, const QString& token);
};

} // namespace glimrow
