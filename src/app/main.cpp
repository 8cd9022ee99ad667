#include "app/CQueltApp.h"

CQueltApp theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(hInstance);
}
