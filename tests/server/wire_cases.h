#pragma once

namespace quorvalis::testing {

// A request text and the request target that must reach the server.
struct WireCase {
  const char* text;
  const char* wire;
};

inline constexpr WireCase kWireCases[] = {
    {"/quorvalis/DATA/search2.cgi?B---00491711234567---Anna---Müller---01.02.1990",
     "/quorvalis/DATA/search2.cgi?B---00491711234567---Anna---M%FCller---01.02.1990"},
    {"/x.cgi?Bar Nord", "/x.cgi?Bar%20Nord"},
    {"/x.cgi?Bar%20Nord", "/x.cgi?Bar%20Nord"},
    {"/x.cgi?50% Rabatt%20heute", "/x.cgi?50%25%20Rabatt%20heute"},
    {"/x.cgi?a;b-c&d=e---f", "/x.cgi?a;b-c&d=e---f"},
    {"/x.cgi?a#b", "/x.cgi?a%23b"},
    {"/x.cgi?msg=Hallo <VN>", "/x.cgi?msg=Hallo%20%3CVN%3E"},
    {"/x.cgi?\"q\"|{}^`\\", "/x.cgi?%22q%22%7C%7B%7D%5E%60%5C"},
    {"/x.cgi?€", "/x.cgi?%80"},
};

}  // namespace quorvalis::testing
