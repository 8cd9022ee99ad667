// The maker's web pages, opened in the default browser.
#pragma once

inline constexpr char kHomePageUrl[] = "http://www.morvane.example/";
inline constexpr char kForumPageUrl[] = "http://www.morvane.example/newbb+index.cat+2.htm";
