# The calendar's Today item key, as a device's set-up writes it, in a .reg
# file: write_item_registration(FILE ROOT DLL) writes FILE with the key under
# ROOT (HKEY_LOCAL_MACHINE in the device, or the device's hive in the
# desktop's registry) and the module at the device path DLL.
function(write_item_registration file root dll)
    set(ITEM_KEY "${root}\\Software\\Microsoft\\Today\\Items\\Mesolune")
    string(REPLACE "\\" "\\\\" ITEM_DLL "${dll}")
    configure_file(${CMAKE_SOURCE_DIR}/packaging/item.reg.in ${file} @ONLY NEWLINE_STYLE CRLF)
endfunction()

# The device paths of the calendar's two builds.
set(ITEM_DLL_X86_64 "\\Windows\\mesolune.dll")
set(ITEM_DLL_ARM "\\Windows\\arm\\mesolune.dll")
