#include "interface/work_areas.h"

#include <cstdlib>
#include <cstring>

#include "interface/number_mode.h"
#include "interface/process_state.h"
#include "number/backend.h"
#include "platform/local_memory.h"
#include "platform/profile.h"

namespace fcl {

namespace {


struct AreaShape {
    const char* size_key;
    bool has_counts;
    bool has_flags;
};

constexpr AreaShape kShapes[4] = {
    {"SumSize", false, false},
    {"AvgSize", true, false},
    {"MinSize", false, true},
    {"MaxSize", false, true},
};

void use_fixed(WorkArea& area) {
    area.allocated = false;
    area.counts = area.fixed_counts;
    area.flags = area.fixed_flags;
    area.doubles = area.fixed_doubles;
    area.numbers = area.fixed_numbers;
    area.capacity = kFixedEntries;
    // Fixed areas start from zero at every FCLINIT, so each report starts clean.
    std::memset(area.fixed_counts, 0, sizeof area.fixed_counts);
    std::memset(area.fixed_flags, 0, sizeof area.fixed_flags);
    std::memset(area.fixed_doubles, 0, sizeof area.fixed_doubles);
    std::memset(area.fixed_numbers, 0, sizeof area.fixed_numbers);
}

template <typename T>
void release(T*& array, T* fixed) {
    if (array != fixed) platform::local_free(array);
    array = fixed;
}

void free_allocated(WorkArea& area) {
    if (!area.allocated) return;
    release(area.counts, area.fixed_counts);
    release(area.flags, area.fixed_flags);
    release(area.doubles, area.fixed_doubles);
    release(area.numbers, area.fixed_numbers);
    area.allocated = false;
    area.capacity = kFixedEntries;
}

// Sizes one aggregate from its profile key; false leaves it to the fixed areas.
bool size_from_profile(WorkArea& area, const AreaShape& shape) {
    char value[128];
    if (platform::profile_string(platform::kProfileSection, shape.size_key, "", value, sizeof value,
                                 platform::kProfileFile) == 0)
        return false;
    long long n = std::atoi(value);
    if (n > kMaxEntries) n = kMaxEntries;
    // A zero or negative size still gets one entry, but no usable slot (capacity <= 0).
    const std::size_t entries = n + 1 > 1 ? static_cast<std::size_t>(n + 1) : 1;
    const bool text = text_numbers();

    void* values = platform::local_alloc_zeroed(entries * (text ? kNumberSize : sizeof(double)));
    if (!values) return false;
    void* second = nullptr;
    if (shape.has_counts) second = platform::local_alloc_zeroed(entries * sizeof(double));
    if (shape.has_flags) second = platform::local_alloc_zeroed(entries + 8);
    if ((shape.has_counts || shape.has_flags) && !second) {
        platform::local_free(values);
        return false;
    }
    free_allocated(area);
    use_fixed(area);
    if (text) area.numbers = static_cast<std::uint8_t*>(values);
    else area.doubles = static_cast<double*>(values);
    if (shape.has_counts) area.counts = static_cast<double*>(second);
    if (shape.has_flags) area.flags = static_cast<std::uint8_t*>(second);
    area.allocated = true;
    area.capacity = static_cast<std::int32_t>(n);
    return true;
}

}  // namespace

std::mutex& aggregate_lock() { return state::aggregate_lock; }

WorkArea& work_area(Aggregate kind) { return state::work_areas[static_cast<int>(kind)]; }

void init_work_areas(std::int32_t mode) {
    const std::lock_guard lock(state::aggregate_lock);
    switch (mode) {
        case 1:
            for (int i = 0; i < 4; ++i) {
                WorkArea& area = state::work_areas[i];
                if (!size_from_profile(area, kShapes[i])) {
                    free_allocated(area);
                    use_fixed(area);
                }
                // The first entry starts at zero in the current encoding.
                if (text_numbers()) backend().zero(area.numbers);
                else area.doubles[0] = 0.0;
                area.counts[0] = 0.0;
                area.flags[0] = 0;
            }
            break;
        case 2:
            for (WorkArea& area : state::work_areas) free_allocated(area);
            break;
        case 3:
            break;
        default:
            // Back to the fixed areas. Allocated arrays are released rather than dropped,
            // so no memory is lost when a host switches modes.
            for (WorkArea& area : state::work_areas) {
                free_allocated(area);
                use_fixed(area);
            }
            break;
    }
}

}  // namespace fcl
