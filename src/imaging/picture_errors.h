// What a user reads when a picture file cannot be read: the file named, then what went wrong,
// and for a JPEG the decoder's failure in Japanese (the common ones in plain words, any other
// in general words with the library's own English text after them, so nothing it said is lost).
#pragma once
#include <string>

// msgCode: the library's message code (its error manager's msg_code); english: the text the
// library formatted for it.
std::string JpegErrorText(int msgCode, const std::string& english);

// A picture file's failure as a user reads it: the file named, then what went wrong.
std::string PictureFileErrorText(const std::string& path, const std::string& message);
