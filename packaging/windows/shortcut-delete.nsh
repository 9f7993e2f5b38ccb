  # The installing user's shortcut and play folder (shortcut-create.nsh):
  # the log goes with them, the best score in the registry stays.
  SetShellVarContext current
  Delete "$SMPROGRAMS\$MUI_TEMP\Vimbrot.lnk"
  RMDir "$SMPROGRAMS\$MUI_TEMP"
  Delete "$LOCALAPPDATA\Vimbrot\message.log"
  RMDir "$LOCALAPPDATA\Vimbrot"
  UserInfo::GetAccountType
  Pop $0
  StrCmp $0 "Admin" +2 0
  StrCmp $0 "Power" 0 +2
    SetShellVarContext all
