// Today's date for table headers, through localtime_s, the C runtime's thread-safe form.
#include <ctime>

#include "dbf/dbf_table.h"

namespace zond::dbf {

HeaderDate localDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace zond::dbf
