#include "remote/RemoteKeyTable.h"

namespace kv {

RemoteKeyTable ImageRemoteKeyTable(const ParamImage& image) {
    RemoteKeyTable table{};
    image.ReadBlock(Block::Hub, 0, table);
    return table;
}

void SetImageRemoteKeyTable(ParamImage& image, const RemoteKeyTable& table) {
    image.WriteBlock(Block::Hub, 0, table);
}

} // namespace kv
