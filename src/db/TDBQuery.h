#pragma once

#include <string>

namespace linkvane {

/// A database query given by a connection string and an SQL text.
class TDBQuery {
public:
    std::string ConnectionString;
    std::string SQL;
};

} // namespace linkvane
