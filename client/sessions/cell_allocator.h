// The 16 cells of the viewer control's grid, shared among the four DVR slots.
// Used on the owner thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace sessions {

inline constexpr int kCellCount = 16;
inline constexpr int kSlotCount = 4;

class CellAllocator {
 public:
  // Gives the slot's channels, in order, the lowest free cells. Refuses (-1)
  // a count of 0, above 8, one that would pass 16 cells, or a slot that holds
  // cells already.
  int AssignCells(int slot, int channel_count);
  void ReleaseCells(int slot);

  // The cells of a slot, one per channel (empty when it holds none).
  const std::vector<uint8_t>& CellsOf(int slot) const { return cells_.at(slot); }
  int total() const { return total_; }
  bool IsOccupied(int cell) const { return cell >= 0 && cell < kCellCount && occupied_[cell]; }
  // The slot owning a cell and the channel position there, if any.
  std::optional<std::pair<int, int>> OwnerOf(int cell) const;

 private:
  std::array<bool, kCellCount> occupied_{};
  std::array<std::vector<uint8_t>, kSlotCount> cells_;
  int total_ = 0;
};

}  // namespace sessions
