// Content/NOTICE: where the content comes from, and the fonts used with
// their licence.
#include <cstdio>
#include <fstream>

#include "content.h"

namespace contentgen {
namespace {

constexpr const char* kNotice = R"(Vantor content
==============

Every picture, the bitmap font's texture, the music and the sound effects in
this folder are made by the game's own content generator (tools/contentgen),
which anyone can run again with scripts/make-content. It is seeded, so the
same seed writes the same files. Nothing here is downloaded or taken from
another game: the pictures are drawn and the sounds synthesised by our code;
the only outside inputs are the fonts below.

Fonts used
----------

- DejaVu Sans Condensed Bold (DejaVuSansCondensed-Bold.ttf, Debian package
  fonts-dejavu-extra), rasterised into the bitmap font font1.png / font1.fnt.
- DejaVu Sans Bold (DejaVuSans-Bold.ttf, Debian package fonts-dejavu-core),
  the lettering of vtr_Logo.png and qzk_logo.png.

The studio name "Quartz Kite" and its emblem are our own invention.

DejaVu fonts licence
--------------------

Fonts are (c) Bitstream (see below). DejaVu changes are in public domain.

Bitstream Vera Fonts Copyright

Copyright (c) 2003 by Bitstream, Inc. All Rights Reserved. Bitstream Vera is
a trademark of Bitstream, Inc.

Permission is hereby granted, free of charge, to any person obtaining a copy
of the fonts accompanying this license ("Fonts") and associated
documentation files (the "Font Software"), to reproduce and distribute the
Font Software, including without limitation the rights to use, copy, merge,
publish, distribute, and/or sell copies of the Font Software, and to permit
persons to whom the Font Software is furnished to do so, subject to the
following conditions:

The above copyright and trademark notices and this permission notice shall
be included in all copies of one or more of the Font Software typefaces.

The Font Software may be modified, altered, or added to, and in particular
the designs of glyphs or characters in the Fonts may be modified and
additional glyphs or characters may be added to the Fonts, only if the fonts
are renamed to names not containing either the words "Bitstream" or the word
"Vera".

This License becomes null and void to the extent applicable to Fonts or Font
Software that has been modified and is distributed under the "Bitstream
Vera" names.

The Font Software may be sold as part of a larger software package but no
copy of one or more of the Font Software typefaces may be sold by itself.

THE FONT SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS
OR IMPLIED, INCLUDING BUT NOT LIMITED TO ANY WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT OF COPYRIGHT, PATENT,
TRADEMARK, OR OTHER RIGHT. IN NO EVENT SHALL BITSTREAM OR THE GNOME
FOUNDATION BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, INCLUDING
ANY GENERAL, SPECIAL, INDIRECT, INCIDENTAL, OR CONSEQUENTIAL DAMAGES,
WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF
THE USE OR INABILITY TO USE THE FONT SOFTWARE OR FROM OTHER DEALINGS IN THE
FONT SOFTWARE.

Except as contained in this notice, the names of Gnome, the Gnome
Foundation, and Bitstream Inc., shall not be used in advertising or
otherwise to promote the sale, use or other dealings in this Font Software
without prior written authorization from the Gnome Foundation or Bitstream
Inc., respectively. For further information, contact: fonts at gnome dot
org.
)";

}  // namespace

bool MakeNotice(const Context& ctx) {
  std::ofstream out(ctx.Out("NOTICE"), std::ios::binary);
  out << kNotice;
  if (!out) std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("NOTICE").c_str());
  return static_cast<bool>(out);
}

}  // namespace contentgen
