#pragma once
// The LZW dictionary search of the compressor. It finds the same strings,
// assigns the same codes and resets at the same places as the classic
// compress coder; only the way entries are found differs, chosen so that the
// byte loop rarely waits for memory:
//
// - A string is identified by where it lives, not by its code: the 256
//   single bytes by their value, the two-byte strings by a direct 256 x 256
//   table, longer strings by their slot in a hash table of 2^18 slots. The
//   slot of the next string is computed from the current one and the next
//   byte with one multiply, without waiting for a load; loads only confirm.
// - The hash table is used at most to a quarter (61439 of 262144), probed
//   linearly. A slot holds its key (parent and byte) tagged with the
//   dictionary's generation, so that clearing the dictionary is a new
//   generation rather than a pass over the table. Codes live apart.
// - Codes go to a CLZCodePacker, which packs them outside the loop.
// - A long run of one byte (a sparse or zero-filled stretch) is coded a
//   string at a time rather than a byte at a time: the dictionary's strings
//   of that byte alone (b, bb, bbb, ...) are remembered in order, so the
//   string a run reaches is found by counting.

#include <cstddef>
#include <cstdint>
#include <memory>

class CLZCodePacker;

class CLZEncoder {
 public:
  CLZEncoder();
  ~CLZEncoder();
  CLZEncoder(const CLZEncoder&) = delete;
  CLZEncoder& operator=(const CLZEncoder&) = delete;

  // Allocates the tables (once); false when that fails.
  bool Allocate();
  // Starts a stream with an empty dictionary whose last code is `codeLimit`
  // (at most 65535), with CLEAR (code 256) when `blockMode`; sets the
  // packer's width to 9. Allocate must have succeeded.
  void Start(uint32_t codeLimit, bool blockMode, CLZCodePacker& packer);
  // Codes the next `length` input bytes.
  void Encode(const uint8_t* bytes, size_t length, CLZCodePacker& packer);
  // Puts the code of the string pending at the end of the input, if any.
  void Finish(CLZCodePacker& packer);

 private:
  static constexpr uint32_t kSlotBits = 18;
  static constexpr uint32_t kSlots = 1u << kSlotBits;
  static constexpr uint32_t kPairBase = 256;              // ids of two-byte strings
  static constexpr uint32_t kSlotBase = kPairBase + 65536;  // ids of longer strings
  static constexpr uint32_t kIds = kSlotBase + kSlots;
  // A key is parent id << 8 | byte (27 bits); the generation takes the top
  // five bits, so every 31st clearing wipes the table.
  static constexpr uint32_t kGenerationShift = 27;
  static constexpr uint32_t kGenerations = 31;

  // Encode of at most CLZCodePacker::kRoom / 2 bytes.
  void EncodeChunk(const uint8_t* bytes, size_t length, CLZCodePacker& packer);
  // Codes the run of bytes[0] at the start of `bytes` when it continues a
  // pending string of that byte alone; returns the bytes coded, 0 when the
  // pending string is another one. Stops before the byte that would find the
  // dictionary full, which EncodeChunk codes.
  size_t EncodeRun(const uint8_t* bytes, size_t length, CLZCodePacker& packer);
  // Where the pending string stands in the chain of m_runByte, learning the
  // chain up to it when the byte loop took it there; false when it is not
  // that byte alone, or longer than a walk back is worth.
  bool FindPendingInRun(size_t& at);
  // The string that `id` extends by one byte, and that byte.
  uint32_t Parent(uint32_t id, uint32_t& byte) const;
  // The id of the string `parent` followed by `byte`; when `found` is set
  // false, the id it takes when added. EncodeChunk probes the same way but
  // inline: through a shared helper its loop ran 5-8% slower.
  uint32_t Find(uint32_t parent, uint32_t byte, bool& found) const;
  // Adds the string of id `id` (from Find), `parent` followed by `byte`.
  void Add(uint32_t id, uint32_t parent, uint32_t byte, CLZCodePacker& packer);
  static uint32_t SlotOf(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kSlotBits); }
  // Empties the dictionary: a new generation of keys, no two-byte strings,
  // codes from the first again at 9 bits.
  void NewGeneration();

  std::unique_ptr<uint32_t[]> m_keys;   // per slot; below m_generationBits: free
  std::unique_ptr<uint16_t[]> m_codes;  // per id; a two-byte string is present when nonzero
  // The ids of m_runByte repeated 1, 2, ... m_runLength times, as far as the
  // dictionary is known to hold them; m_runAt indexes the pending string
  // when the last EncodeRun left it there.
  std::unique_ptr<uint32_t[]> m_run;
  uint32_t m_runByte = 0;
  size_t m_runLength = 0;
  size_t m_runAt = 0;
  uint32_t m_generationBits = 0;
  uint32_t m_codeLimit = 0;
  bool m_blockMode = true;
  uint32_t m_current = 0;  // id of the string pending
  bool m_pending = false;  // false at the start and after CLEAR
  uint32_t m_freeEnt = 0;
  int32_t m_nBits = 0;
  int32_t m_maxCode = 0;
};
