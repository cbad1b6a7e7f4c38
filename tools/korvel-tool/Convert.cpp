#include "tools/korvel-tool/Commands.h"
namespace korvel::tool {
int runInfo(const std::vector<std::string>&) { return 2; }
int runDecode(const std::vector<std::string>&) { return 2; }
int runConvert(const std::vector<std::string>&) { return 2; }
}
