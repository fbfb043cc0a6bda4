#pragma once

#include "sim/RecordLayout.h"

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace kv {
class ParamImage;
}

namespace kv::sim {

/// One complete parameter state of the processor: the store (blocks and stored records)
/// and the values of the parameters no record keeps (biquads, the last channel's tail).
class ParamSet {
public:
    ParamSet();

    /// The store and the loose values an image stands for, as the application would have
    /// sent them: blocks copied, every record and known loose value encoded from its fields.
    static ParamSet FromImage(const ParamImage& image);

    StoreBytes& Store() { return m_store; }
    const StoreBytes& Store() const { return m_store; }

    /// Sets the values of (module, item); count must be its known count. False when unknown.
    bool SetValues(int module, int item, std::span<const std::uint8_t> values);
    /// The 4 x count value bytes of (module, item); empty when unknown.
    std::vector<std::uint8_t> Values(int module, int item) const;

    friend bool operator==(const ParamSet&, const ParamSet&) = default;

private:
    StoreBytes m_store{};
    std::map<int, std::vector<std::uint8_t>> m_loose; ///< module * 256 + item -> values
};

} // namespace kv::sim
