#include "reader/error_meanings.h"

#include <cstddef>

namespace {

// Sorted by code (checked below), so a lookup is a binary search. Win32 errors are small numbers; the
// trust errors are HRESULTs (0x800Bxxxx); the setup errors carry the customer bit (0xE000xxxx).
constexpr ErrorMeaning Meanings[] = {
    {1, "ERROR_INVALID_FUNCTION", "the call is not supported here"},
    {2, "ERROR_FILE_NOT_FOUND", "the file is missing (for the package: not in the package folder)"},
    {3, "ERROR_PATH_NOT_FOUND",
     "a folder on the path does not exist (the package is not installed where the tool "
     "looks)"},
    {4, "ERROR_TOO_MANY_OPEN_FILES", "the system ran out of file handles"},
    {5, "ERROR_ACCESS_DENIED",
     "access denied: not run as administrator, or the file is read-only or held by "
     "security software"},
    {6, "ERROR_INVALID_HANDLE", "an invalid handle was used"},
    {8, "ERROR_NOT_ENOUGH_MEMORY", "the system ran out of memory"},
    {11, "ERROR_BAD_FORMAT", "the file is not in the expected format"},
    {13, "ERROR_INVALID_DATA", "the data is invalid (for a device's driver value: the node has no driver)"},
    {14, "ERROR_OUTOFMEMORY", "the system ran out of memory"},
    {15, "ERROR_INVALID_DRIVE", "the drive does not exist"},
    {19, "ERROR_WRITE_PROTECT", "the disk is write-protected"},
    {21, "ERROR_NOT_READY", "the drive is not ready"},
    {23, "ERROR_CRC", "a read error on the disk (damaged medium)"},
    {29, "ERROR_WRITE_FAULT", "the disk could not be written"},
    {30, "ERROR_READ_FAULT", "the disk could not be read"},
    {31, "ERROR_GEN_FAILURE", "a device attached to the system is not functioning"},
    {32, "ERROR_SHARING_VIOLATION",
     "the file is in use by another process (an old co-installer loaded for a "
     "plugged-in device, or a virus scanner); unplug the handset or restart and "
     "run again"},
    {33, "ERROR_LOCK_VIOLATION", "part of the file is locked by another process"},
    {39, "ERROR_HANDLE_DISK_FULL", "the disk is full"},
    {50, "ERROR_NOT_SUPPORTED", "the request is not supported"},
    {53, "ERROR_BAD_NETPATH", "the network path was not found"},
    {80, "ERROR_FILE_EXISTS", "the file exists already"},
    {82, "ERROR_CANNOT_MAKE", "the file or folder could not be created"},
    {87, "ERROR_INVALID_PARAMETER", "a parameter of the call was refused"},
    {112, "ERROR_DISK_FULL", "the disk is full"},
    {122, "ERROR_INSUFFICIENT_BUFFER",
     "the value is longer than the tool's buffer (a driver key over 512 bytes); Wine gives it for any failed "
     "SetupCopyOEMInf, whatever the cause"},
    {123, "ERROR_INVALID_NAME", "the file name or path is not valid"},
    {126, "ERROR_MOD_NOT_FOUND", "a system library is not there"},
    {127, "ERROR_PROC_NOT_FOUND",
     "the function is not in this Windows' system library (Windows 2000 has no SetupUninstallOEMInfA)"},
    {161, "ERROR_BAD_PATHNAME", "the path is not valid"},
    {183, "ERROR_ALREADY_EXISTS", "the file exists already"},
    {193, "ERROR_BAD_EXE_FORMAT",
     "not a valid program for this Windows (Fenwarr64.exe damaged or from another "
     "package)"},
    {206, "ERROR_FILENAME_EXCED_RANGE", "the path is too long"},
    {216, "ERROR_EXE_MACHINE_TYPE_MISMATCH", "the program is for another processor type"},
    {259, "ERROR_NO_MORE_ITEMS", "no more items"},
    {267, "ERROR_DIRECTORY", "the folder name is not valid"},
    {740, "ERROR_ELEVATION_REQUIRED", "the program must run as administrator: start it elevated"},
    {1006, "ERROR_FILE_INVALID",
     "the file changed or vanished while it was in use (removable or network drive)"},
    {1168, "ERROR_NOT_FOUND", "the element was not found"},
    {1223, "ERROR_CANCELLED",
     "the user cancelled (answered No to a prompt, such as the driver-signing or UAC "
     "prompt)"},
    {1314, "ERROR_PRIVILEGE_NOT_HELD", "a required privilege is not held: run as administrator"},
    {1392, "ERROR_FILE_CORRUPT", "the file is corrupt and unreadable"},
    {1450, "ERROR_NO_SYSTEM_RESOURCES", "the system ran out of resources"},
    {0x80092003u, "CRYPT_E_FILE_ERROR", "the catalog or signature file could not be read"},
    {0x80096010u, "TRUST_E_BAD_DIGEST",
     "a file of the package does not match its signature (it was changed "
     "after signing)"},
    {0x800B0001u, "TRUST_E_PROVIDER_UNKNOWN", "no trust provider knows this kind of file"},
    {0x800B0003u, "TRUST_E_SUBJECT_FORM_UNKNOWN", "the signature's form is not recognised"},
    {0x800B0004u, "TRUST_E_SUBJECT_NOT_TRUSTED", "the signer is not trusted"},
    {0x800B0100u, "TRUST_E_NOSIGNATURE", "the package is not signed (its catalog carries no signature)"},
    {0x800B0101u, "CERT_E_EXPIRED", "the signing certificate has expired"},
    {0x800B0109u, "CERT_E_UNTRUSTEDROOT",
     "the signing certificate chains to a root this machine does not trust"},
    {0x800B010Au, "CERT_E_CHAINING", "the signing certificate's chain could not be built"},
    {0x800B010Cu, "CERT_E_REVOKED", "the signing certificate was revoked"},
    {0x800B0111u, "TRUST_E_EXPLICIT_DISTRUST",
     "the signing certificate is explicitly distrusted on this "
     "machine"},
    {0xE0000000u, "ERROR_EXPECTED_SECTION_NAME",
     "the INF is damaged: a line was found where a section name "
     "was expected"},
    {0xE0000001u, "ERROR_BAD_SECTION_NAME_LINE", "the INF is damaged: a section name line is malformed"},
    {0xE0000002u, "ERROR_SECTION_NAME_TOO_LONG", "the INF is damaged: a section name is too long"},
    {0xE0000003u, "ERROR_GENERAL_SYNTAX", "the INF has a syntax error"},
    {0xE0000100u, "ERROR_WRONG_INF_STYLE",
     "not a valid INF (no [Version] section with a Windows NT signature, "
     "or not a text INF at all)"},
    {0xE0000101u, "ERROR_SECTION_NOT_FOUND", "a section the INF refers to is missing"},
    {0xE0000102u, "ERROR_LINE_NOT_FOUND", "a line the INF refers to is missing"},
    {0xE0000103u, "ERROR_NO_BACKUP", "no backup of the replaced files exists"},
    {0xE0000200u, "ERROR_NO_ASSOCIATED_CLASS", "the INF names no device setup class"},
    {0xE0000201u, "ERROR_CLASS_MISMATCH", "the INF's device class does not match"},
    {0xE0000202u, "ERROR_DUPLICATE_FOUND", "a duplicate was found"},
    {0xE0000203u, "ERROR_NO_DRIVER_SELECTED", "no driver was selected for the device"},
    {0xE0000204u, "ERROR_KEY_DOES_NOT_EXIST", "a registry key the setup needs does not exist"},
    {0xE0000205u, "ERROR_INVALID_DEVINST_NAME", "the device instance name is not valid"},
    {0xE0000206u, "ERROR_INVALID_CLASS", "the device setup class is not valid"},
    {0xE0000207u, "ERROR_DEVINST_ALREADY_EXISTS", "the device instance exists already"},
    {0xE0000208u, "ERROR_DEVINFO_NOT_REGISTERED", "the device is not registered"},
    {0xE0000209u, "ERROR_INVALID_REG_PROPERTY", "the device property is not valid"},
    {0xE000020Au, "ERROR_NO_INF", "no INF was found for the device"},
    {0xE000020Bu, "ERROR_NO_SUCH_DEVINST", "the device node does not exist (any more)"},
    {0xE000020Cu, "ERROR_CANT_LOAD_CLASS_ICON", "the class icon could not be loaded"},
    {0xE000020Du, "ERROR_INVALID_CLASS_INSTALLER", "the class installer named in the INF is not valid"},
    {0xE000020Eu, "ERROR_DI_DO_DEFAULT", "the class installer asked for the default action"},
    {0xE000020Fu, "ERROR_DI_NOFILECOPY", "the file copy was skipped"},
    {0xE0000210u, "ERROR_INVALID_HWPROFILE", "the hardware profile is not valid"},
    {0xE0000211u, "ERROR_NO_DEVICE_SELECTED", "no device was selected"},
    {0xE0000212u, "ERROR_DEVINFO_LIST_LOCKED", "the device list is locked"},
    {0xE0000213u, "ERROR_DEVINFO_DATA_LOCKED", "the device data is locked"},
    {0xE0000214u, "ERROR_DI_BAD_PATH", "the source path of the INF is not valid"},
    {0xE0000215u, "ERROR_NO_CLASSINSTALL_PARAMS", "no class-installer parameters were set"},
    {0xE0000216u, "ERROR_FILEQUEUE_LOCKED", "the file queue is locked"},
    {0xE0000217u, "ERROR_BAD_SERVICE_INSTALLSECT", "the INF's service install section is malformed"},
    {0xE0000218u, "ERROR_NO_CLASS_DRIVER_LIST", "no class driver list exists"},
    {0xE0000219u, "ERROR_NO_ASSOCIATED_SERVICE", "the device has no associated service"},
    {0xE000021Au, "ERROR_NO_DEFAULT_DEVICE_INTERFACE", "no default device interface exists"},
    {0xE000021Bu, "ERROR_DEVICE_INTERFACE_ACTIVE", "the device interface is in use"},
    {0xE000021Cu, "ERROR_DEVICE_INTERFACE_REMOVED", "the device interface was removed"},
    {0xE000021Du, "ERROR_BAD_INTERFACE_INSTALLSECT", "the INF's interface install section is malformed"},
    {0xE000021Eu, "ERROR_NO_SUCH_INTERFACE_CLASS", "the interface class does not exist"},
    {0xE000021Fu, "ERROR_INVALID_REFERENCE_STRING", "the reference string is not valid"},
    {0xE0000220u, "ERROR_INVALID_MACHINENAME", "the machine name is not valid"},
    {0xE0000221u, "ERROR_REMOTE_COMM_FAILURE", "communication with the remote machine failed"},
    {0xE0000222u, "ERROR_MACHINE_UNAVAILABLE", "the machine is not available"},
    {0xE0000223u, "ERROR_NO_CONFIGMGR_SERVICES", "the Plug and Play service is not available"},
    {0xE0000224u, "ERROR_INVALID_PROPPAGE_PROVIDER", "the property page provider is not valid"},
    {0xE0000225u, "ERROR_NO_SUCH_DEVICE_INTERFACE", "the device interface does not exist"},
    {0xE0000226u, "ERROR_DI_POSTPROCESSING_REQUIRED", "post-processing is required"},
    {0xE0000227u, "ERROR_INVALID_COINSTALLER", "a co-installer named in the INF is not valid"},
    {0xE0000228u, "ERROR_NO_COMPAT_DRIVERS", "no compatible driver was found"},
    {0xE0000229u, "ERROR_NO_DEVICE_ICON", "the device has no icon"},
    {0xE000022Au, "ERROR_INVALID_INF_LOGCONFIG", "the INF's log-config section is not valid"},
    {0xE000022Bu, "ERROR_DI_DONT_INSTALL", "the class installer refused the installation"},
    {0xE000022Cu, "ERROR_INVALID_FILTER_DRIVER", "a filter driver named in the INF is not valid"},
    {0xE000022Du, "ERROR_NON_WINDOWS_NT_DRIVER", "the driver is not for Windows NT"},
    {0xE000022Eu, "ERROR_NON_WINDOWS_DRIVER", "the driver is not for Windows"},
    {0xE000022Fu, "ERROR_NO_CATALOG_FOR_OEM_INF",
     "the INF has no catalog file (.cat), or the catalog is not named "
     "in the INF"},
    {0xE0000230u, "ERROR_DEVINSTALL_QUEUE_NONNATIVE", "the file queue is for another platform"},
    {0xE0000231u, "ERROR_NOT_DISABLEABLE", "the device cannot be disabled"},
    {0xE0000232u, "ERROR_CANT_REMOVE_DEVINST", "the device node cannot be removed"},
    {0xE0000233u, "ERROR_INVALID_TARGET", "the target is not valid"},
    {0xE0000234u, "ERROR_DRIVER_NONNATIVE",
     "the driver is not for this processor type (the wrong half of the "
     "package)"},
    {0xE0000235u, "ERROR_IN_WOW64", "the operation is refused to a 32-bit program on 64-bit Windows"},
    {0xE0000236u, "ERROR_SET_SYSTEM_RESTORE_POINT", "a system restore point could not be set"},
    {0xE0000237u, "ERROR_INCORRECTLY_COPIED_INF",
     "the INF was copied into the INF folder by hand, not installed"},
    {0xE0000238u, "ERROR_SCE_DISABLED", "the security configuration engine is disabled"},
    {0xE0000239u, "ERROR_UNKNOWN_EXCEPTION", "the setup code crashed on an unexpected exception"},
    {0xE000023Au, "ERROR_PNP_REGISTRY_ERROR", "the Plug and Play registry is damaged"},
    {0xE000023Bu, "ERROR_REMOTE_REQUEST_UNSUPPORTED", "the request is not supported remotely"},
    {0xE000023Cu, "ERROR_NOT_AN_INSTALLED_OEM_INF",
     "the INF is not an installed third-party INF (Windows did not stage it: not an oemN.inf of the store)"},
    {0xE000023Du, "ERROR_INF_IN_USE_BY_DEVICES",
     "a device still uses this driver package, so Windows keeps it; remove the device (or unplug the "
     "handset) and run the uninstaller again"},
    {0xE000023Eu, "ERROR_DI_FUNCTION_OBSOLETE", "the setup function is obsolete"},
    {0xE000023Fu, "ERROR_NO_AUTHENTICODE_CATALOG", "no Authenticode-signed catalog was found"},
    {0xE0000240u, "ERROR_AUTHENTICODE_DISALLOWED",
     "Authenticode signatures are not allowed for this driver "
     "class"},
    {0xE0000241u, "ERROR_AUTHENTICODE_TRUSTED_PUBLISHER", "signed by a trusted publisher (informational)"},
    {0xE0000242u, "ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED",
     "the publisher's trust has not been established (the user was not asked, or said No); the fix: the "
     "signer's .cer beside the MSI into the machines' TrustedPublisher store (docs/deploying.md)"},
    {0xE0000243u, "ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED",
     "the publisher is not trusted on this machine; the fix: the signer's .cer beside the MSI into the "
     "machines' TrustedPublisher store (docs/deploying.md)"},
    {0xE0000244u, "ERROR_SIGNATURE_OSATTRIBUTE_MISMATCH",
     "the catalog is not signed for this Windows version"},
    {0xE0000245u, "ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE", "the file can only be validated by Authenticode"},
    {0xE0000246u, "ERROR_DEVICE_INSTALLER_NOT_READY",
     "the device installer is busy or not ready; try again "
     "later"},
    {0xE0000247u, "ERROR_DRIVER_STORE_ADD_FAILED",
     "the driver store refused the package (often a signing or "
     "catalog problem; see setupapi.dev.log)"},
    {0xE0000248u, "ERROR_DEVICE_INSTALL_BLOCKED", "device installation is blocked by policy"},
    {0xE0000249u, "ERROR_DRIVER_INSTALL_BLOCKED", "driver installation is blocked by policy"},
    {0xE000024Au, "ERROR_WRONG_INF_TYPE", "the INF is of the wrong type"},
    {0xE000024Bu, "ERROR_FILE_HASH_NOT_IN_CATALOG",
     "a file of the package is not listed in its catalog (the "
     "package was changed after signing)"},
    {0xE000024Cu, "ERROR_DRIVER_STORE_DELETE_FAILED", "the driver store could not delete the package"},
    {0xE0000300u, "ERROR_UNRECOVERABLE_STACK_OVERFLOW", "the setup code ran out of stack"},
    {0xE0001000u, "ERROR_NOT_INSTALLED", "the component is not installed"},
};

constexpr bool IsSorted() {
    for (size_t i = 1; i < sizeof(Meanings) / sizeof(Meanings[0]); ++i) {
        if (Meanings[i - 1].Code >= Meanings[i].Code)
            return false;
    }
    return true;
}
static_assert(IsSorted(), "the meanings must be sorted by code, each code once");

} // namespace

const ErrorMeaning* FindErrorMeaning(uint32_t Code) {
    const ErrorMeaning* pFound = nullptr;
    size_t Low = 0;
    size_t High = sizeof(Meanings) / sizeof(Meanings[0]);
    while (Low < High && pFound == nullptr) {
        const size_t Mid = Low + (High - Low) / 2;
        if (Meanings[Mid].Code == Code)
            pFound = &Meanings[Mid];
        else if (Meanings[Mid].Code < Code)
            Low = Mid + 1;
        else
            High = Mid;
    }
    return pFound;
}
