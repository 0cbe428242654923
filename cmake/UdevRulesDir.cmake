# Where udev reads rules from, as udev.pc says (/lib/udev or /usr/lib/udev): the rule must
# land there whatever the install prefix, or udev never sees it.
pkg_get_variable(KDU_UDEV_DIR_FROM_PC udev udevdir)
if(KDU_UDEV_DIR_FROM_PC)
  set(KDU_UDEV_RULES_DIR_DEFAULT "${KDU_UDEV_DIR_FROM_PC}/rules.d")
else()
  message(WARNING "udev.pc not found (package udev); installing the udev rule to /lib/udev/rules.d")
  set(KDU_UDEV_RULES_DIR_DEFAULT "/lib/udev/rules.d")
endif()
set(KDU_UDEV_RULES_DIR "${KDU_UDEV_RULES_DIR_DEFAULT}" CACHE PATH
    "Folder the udev rule is installed into (default: udevdir from udev.pc + /rules.d)")
set(KDU_UDEV_RULE_PATH "${KDU_UDEV_RULES_DIR}/70-kestory-drive-updater.rules")
