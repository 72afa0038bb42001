#pragma once
// The user operations on the box's mask slots: preview upload, save, delete, read, assign and
// clean, with their reply steps (PendingOp 34048..34059).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trivel {

class FrameView;
class Session;
class SlotCopy;

void BtnUploadMaskClick(Session& s);
void BtnMaskSaveClick(Session& s);
void BtnMaskDeleteClick(Session& s);
void BtnMaskReadClick(Session& s);
void BtnMaskLoadClick(Session& s);
void BtnMaskLoad2Click(Session& s);
void BtnMaskCleanClick(Session& s);

void MaskOperationStep(Session& s, int op);

// Shared with the slot read at connect. The header reply goes into buffer's first 32 bytes with
// the received count 0; a size field the buffer cannot hold goes to the memo (`what` names the
// buffer there).
void TakeMaskHeader(Session& s, SlotCopy& buffer, const char* what);
// Stores one 256-byte chunk reply at 32 + received count, never past the buffer's end, and adds
// 256. True while more is to be read; nextOffset is then the offset to ask for.
bool TakeMaskChunk(SlotCopy& buffer, const FrameView& reply, std::uint32_t& nextOffset);

inline constexpr std::size_t kMaskReadChunkBytes = 256;

} // namespace trivel
