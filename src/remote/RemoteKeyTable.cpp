#include "remote/RemoteKeyTable.h"

#include "protocol/CommandSink.h"
#include "protocol/Commands.h"

#include <algorithm>

namespace kv {

namespace {
constexpr std::uint8_t kCmdStoreTable = 99;
}

RemoteKeyTable ImageRemoteKeyTable(const ParamImage& image) {
    RemoteKeyTable table{};
    image.ReadBlock(Block::Hub, 0, table);
    return table;
}

void SetImageRemoteKeyTable(ParamImage& image, const RemoteKeyTable& table) {
    image.WriteBlock(Block::Hub, 0, table);
}

int SendRemoteKeyTable(const RemoteKeyTable& table) {
    Command command{};
    command[0] = 2;
    command[1] = kCmdStoreTable;
    std::copy(table.begin(), table.end(), command.begin() + 2);
    return CommandSink().Write(command);
}

} // namespace kv
