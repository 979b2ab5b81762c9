// The receive ring between a serial port's watch thread and its reader.
//
// Threads: exactly one producer (ThreadWatchComm calls Push) and one consumer
// (the owner's thread calls Drain). Each index is written by one side only and read
// by the other with acquire/release ordering, so no lock is needed.
// It holds at most 8,191 bytes; a byte offered to a full ring is dropped.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class ReceiveRing {
 public:
  static constexpr size_t kSlots = 8192;
  static constexpr size_t kCapacity = kSlots - 1;  // one slot tells full from empty

  // Producer side. Returns false (and drops the byte) when the ring is full.
  bool Push(uint8_t byte) {
    const size_t write = write_.load(std::memory_order_relaxed);
    const size_t next = (write + 1) % kSlots;
    if (next == read_.load(std::memory_order_acquire)) {
      dropped_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    slots_[write] = byte;
    write_.store(next, std::memory_order_release);
    return true;
  }

  // Consumer side: appends every byte the ring holds to `out`.
  size_t Drain(std::vector<uint8_t>& out) {
    size_t read = read_.load(std::memory_order_relaxed);
    const size_t write = write_.load(std::memory_order_acquire);
    size_t count = 0;
    while (read != write) {
      out.push_back(slots_[read]);
      read = (read + 1) % kSlots;
      ++count;
    }
    read_.store(read, std::memory_order_release);
    return count;
  }

  // Either side; a snapshot.
  size_t Size() const {
    const size_t write = write_.load(std::memory_order_acquire);
    const size_t read = read_.load(std::memory_order_acquire);
    return (write + kSlots - read) % kSlots;
  }
  size_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  std::array<uint8_t, kSlots> slots_{};
  std::atomic<size_t> write_{0};  // written by the producer only
  std::atomic<size_t> read_{0};   // written by the consumer only
  std::atomic<size_t> dropped_{0};
};

}  // namespace platform
