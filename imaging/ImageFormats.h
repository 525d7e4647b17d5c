// Makes the image classes of this library known to TPicture's file-format
// registry. The program entry calls it once before any picture is loaded.
#pragma once

namespace qv {

// Registers "ico" (TIcon). Calling it again changes nothing.
void RegisterImageFormats();

}  // namespace qv
