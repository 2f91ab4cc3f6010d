# Sourced by the scripts that run Windows programs under Wine. Sets up the project's own Wine
# prefix (never ~/.wine), made once and reused:
#   TAMSORY_WINEPREFIX  the prefix folder (default: build/wine)
#   TAMSORY_DPI         LogPixels for a fresh prefix (default 96); use one prefix per DPI
# Chinese: the zh_CN locale gives the system code page 936. The Song names map to AR PL UMing,
# a Song face whose Latin letters are exactly half as wide as its Chinese ones at every size,
# as Song's are (the About window's copyright line relies on it); the Hei names map to
# WenQuanYi Zen Hei Sharp, whose bitmaps keep small sizes whole. Font smoothing on: without it
# Wine draws small Chinese with missing strokes.

# Bump when the prefix set-up below changes, so that existing prefixes are set up again.
_tamsory_prefix_version=4

_tamsory_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${TAMSORY_WINEPREFIX:-$_tamsory_root/build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

_tamsory_make_prefix() {
    local dpi=${TAMSORY_DPI:-96} key='HKCU\Software\Wine\Fonts\Replacements' f
    mkdir -p "$WINEPREFIX"
    # A headless wineboot must not try to open a display.
    DISPLAY= wineboot -i >/dev/null 2>&1 || return 1
    for f in 宋体 SimSun 新宋体 NSimSun; do
        wine reg add "$key" /v "$f" /t REG_SZ /d "AR PL UMing CN" /f >/dev/null 2>&1
    done
    for f in 黑体 SimHei "Microsoft YaHei" 微软雅黑; do
        wine reg add "$key" /v "$f" /t REG_SZ /d "WenQuanYi Zen Hei Sharp" /f >/dev/null 2>&1
    done
    local desktop='HKCU\Control Panel\Desktop'
    wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add "$desktop" /v FontSmoothing /t REG_SZ /d 2 /f >/dev/null 2>&1
    wine reg add "$desktop" /v FontSmoothingType /t REG_DWORD /d 2 /f >/dev/null 2>&1
    wine reg add "$desktop" /v FontSmoothingGamma /t REG_DWORD /d 1400 /f >/dev/null 2>&1
    wine reg add "$desktop" /v FontSmoothingOrientation /t REG_DWORD /d 1 /f >/dev/null 2>&1
    # Debian's Wine looks for its own fonts (Marlett for the caption buttons, Tahoma) at a
    # path that does not exist; give the prefix links to them.
    for f in /usr/share/wine/fonts/*; do
        [ -e "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    done
    wineserver -w
    echo "$_tamsory_prefix_version" >"$WINEPREFIX/.tamsory-ready"
}

# Makes the prefix once; a lock keeps parallel test runs from making it twice.
_tamsory_prefix_ready() { [ "$(cat "$WINEPREFIX/.tamsory-ready" 2>/dev/null)" = "$_tamsory_prefix_version" ]; }
tamsory_ensure_prefix() {
    _tamsory_prefix_ready && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        _tamsory_prefix_ready || _tamsory_make_prefix
    ) 9>"$WINEPREFIX.lock"
}
