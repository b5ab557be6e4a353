#pragma once

namespace tablica::picture {

// Chooses a Qt platform plug-in that needs no display, unless the user
// chose one; one file a system.
void UseHeadlessPlatform();

}  // namespace tablica::picture
