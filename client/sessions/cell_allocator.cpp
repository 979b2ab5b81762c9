#include "client/sessions/cell_allocator.h"

namespace sessions {

int CellAllocator::AssignCells(int slot, int channel_count) {
  if (slot < 0 || slot >= kSlotCount || !cells_[slot].empty()) return -1;
  if (channel_count <= 0 || channel_count > 8 || total_ + channel_count > kCellCount) return -1;
  std::vector<uint8_t>& cells = cells_[slot];
  for (int cell = 0; cell < kCellCount && static_cast<int>(cells.size()) < channel_count; ++cell) {
    if (occupied_[cell]) continue;
    occupied_[cell] = true;
    cells.push_back(static_cast<uint8_t>(cell));
  }
  total_ += channel_count;
  return channel_count;
}

void CellAllocator::ReleaseCells(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  for (uint8_t cell : cells_[slot]) occupied_[cell] = false;
  total_ -= static_cast<int>(cells_[slot].size());
  cells_[slot].clear();
}

std::optional<std::pair<int, int>> CellAllocator::OwnerOf(int cell) const {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const auto& cells = cells_[slot];
    for (size_t position = 0; position < cells.size(); ++position) {
      if (cells[position] == cell) return std::pair{slot, static_cast<int>(position)};
    }
  }
  return std::nullopt;
}

}  // namespace sessions
