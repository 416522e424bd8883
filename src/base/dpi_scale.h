#pragma once

namespace tovasen {

// A length given at 96 dots per inch, at dpi, rounded to the nearest integer with ties to even
// (so 1.5 px becomes 2 and 2.5 px becomes 2, as the layout's numbers expect).
int ScaleToDpi(int pixels96, int dpi);

}  // namespace tovasen
