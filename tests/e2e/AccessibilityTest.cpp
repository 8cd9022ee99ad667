// The real morvane.exe as a screen reader and a user without animations meet
// it. A screen reader reads the window from its own process through Active
// Accessibility; the animation setting is the system's, read when the program
// starts. Both need the notice, so the probe's key is denied writing.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>

namespace e2e {
namespace {

constexpr int kBannerPicture = 1007;

// A control's name and description as a screen reader gets them; "(none)"
// where the object gives none.
struct Spoken {
    std::string name, description;
};

std::string Narrow(BSTR text) {
    if (!text)
        return "(none)";
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    SysFreeString(text);
    return narrow;
}

// hr: what AccessibleObjectFromWindow gave, for the failure's message.
std::optional<Spoken> Speak(HWND hControl, HRESULT& hr) {
    IAccessible* object = nullptr;
    hr = AccessibleObjectFromWindow(hControl, OBJID_CLIENT, __uuidof(IAccessible),
                                    reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object)
        return std::nullopt;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr, description = nullptr;
    object->get_accName(self, &name);
    object->get_accDescription(self, &description);
    object->Release();
    return Spoken{Narrow(name), Narrow(description)};
}

// The banner's picture: a page's box may have its id too.
HWND BannerPicture(HWND hMain) {
    for (HWND hBanner = GetWindow(hMain, GW_CHILD); hBanner;
         hBanner = GetWindow(hBanner, GW_HWNDNEXT))
        if (HWND hDialog = GetWindow(hBanner, GW_CHILD))
            if (HWND hPicture = GetDlgItem(hDialog, kBannerPicture);
                hPicture && (GetWindowLongA(hPicture, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
                return hPicture;
    return nullptr;
}

class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

// What a screen reader hears of each control of one start of the program.
struct Heard {
    std::string what;
    std::optional<Spoken> spoken;
    HRESULT hr;
};

// Ids repeat from page to page.
std::string BoxName(const expect::Box& box) {
    return "page " + std::to_string(box.page) + " box " + std::to_string(box.id);
}

std::vector<Heard> HearEverything(HWND hMain) {
    std::vector<std::pair<std::string, HWND>> controls = {
        {"notice", GetDlgItem(hMain, kNoticeControl)}, {"banner", BannerPicture(hMain)}};
    const std::array<HWND, kPageCount> pages = Pages(hMain);
    for (const expect::Box& box : expect::Boxes())
        controls.push_back(
            {BoxName(box), pages[box.page] ? GetDlgItem(pages[box.page], box.id) : nullptr});
    std::vector<Heard> heard;
    for (const auto& [what, hControl] : controls) {
        HRESULT hr = E_HANDLE;
        std::optional<Spoken> spoken = hControl ? Speak(hControl, hr) : std::nullopt;
        heard.push_back({what, spoken, hr});
    }
    return heard;
}

TEST(ScreenReaderTest, TheNoticeTheBannerAndEachBoxSayWhatTheyShow) {
    ComApartment com;
    PrepareRegistry({});

    struct Case {
        bool rights;
        std::string what;
        Spoken expected;
    };
    // With rights the notice's frame shows nothing and says nothing.
    std::vector<Case> cases = {
        {true, "notice", {"(none)", "(none)"}},
        {false, "notice", {"For full config access run as admin", "(none)"}},
    };
    for (bool rights : {true, false}) {
        cases.push_back({rights,
                         "banner",
                         {"Morvane: Fifty Windows settings, one click each",
                          "Opens the Morvane home page in your web browser"}});
        // A box's name is its label, its description its tooltip.
        for (const expect::Box& box : expect::Boxes())
            cases.push_back({rights, BoxName(box), {box.label, box.tip}});
    }

    for (bool rights : {true, false}) {
        SCOPED_TRACE(rights ? "with rights" : "without rights");
        if (!rights)
            DenyWritingTheProbeKey();
        Process program(ProgramPath());
        ASSERT_TRUE(program.Started()) << ProgramPath() << ": error " << program.StartError();
        HWND hMain = WaitForMainWindow(program.Id(), 20000);
        ASSERT_TRUE(hMain);
        ASSERT_EQ(WindowSize(GetDlgItem(hMain, kNoticeControl)) == kNoticePlaying, !rights);
        const std::vector<Heard> heard = HearEverything(hMain);
        for (const Case& c : cases) {
            if (c.rights != rights)
                continue;
            SCOPED_TRACE(c.what);
            const auto it = std::find_if(heard.begin(), heard.end(),
                                         [&](const Heard& h) { return h.what == c.what; });
            ASSERT_NE(it, heard.end());
            ASSERT_TRUE(it->spoken) << std::hex << "HRESULT 0x" << it->hr;
            EXPECT_EQ(it->spoken->name, c.expected.name);
            EXPECT_EQ(it->spoken->description, c.expected.description);
        }
        ExpectSaveAndExit(hMain, program);
    }
}

// Read by processes started after it is set.
void SetClientAreaAnimation(bool on) {
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETCLIENTAREAANIMATION, 0,
                                      reinterpret_cast<void*>(static_cast<UINT_PTR>(on)),
                                      SPIF_UPDATEINIFILE | SPIF_SENDCHANGE));
}

TEST(AnimationSettingTest, WithAnimationsOffTheNoticeStandsStillOnNoThreadOfItsOwn) {
    PrepareRegistry({});
    int threadsWithRights = 0;
    {
        Process program(ProgramPath());
        ASSERT_TRUE(program.Started());
        HWND hMain = WaitForMainWindow(program.Id(), 20000);
        ASSERT_TRUE(hMain);
        threadsWithRights = ThreadCount(program.Id());
        ExpectSaveAndExit(hMain, program);
    }
    ASSERT_GT(threadsWithRights, 0);
    DenyWritingTheProbeKey();

    struct Case {
        bool animations;
        int threadsMore; // the notice's worker
    };
    const Case cases[] = {{true, 1}, {false, 0}, {true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.animations ? "animations on" : "animations off");
        SetClientAreaAnimation(c.animations);
        Process program(ProgramPath());
        ASSERT_TRUE(program.Started());
        HWND hMain = WaitForMainWindow(program.Id(), 20000);
        ASSERT_TRUE(hMain);
        // Loaded either way: the control has the picture's size.
        EXPECT_EQ(WindowSize(GetDlgItem(hMain, kNoticeControl)), kNoticePlaying);
        int threads = 0;
        EXPECT_TRUE(WaitUntil(
            [&] {
                return (threads = ThreadCount(program.Id())) == threadsWithRights + c.threadsMore;
            },
            10000))
            << threads << " threads, with rights " << threadsWithRights;
        ExpectSaveAndExit(hMain, program);
    }
    SetClientAreaAnimation(true);
}

} // namespace
} // namespace e2e
