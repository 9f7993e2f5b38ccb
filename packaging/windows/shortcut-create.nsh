  # The game writes message.log into the folder it starts in, so its shortcut
  # starts it in a folder of the installing user's own, never in Program
  # Files. Folder and shortcut are that user's (shell context "current"):
  # another user could not write the folder, so a shared shortcut would fail
  # for them. CreateShortCut takes the output path as its "Start in".
  SetShellVarContext current
  CreateDirectory "$LOCALAPPDATA\Vimbrot"
  SetOutPath "$LOCALAPPDATA\Vimbrot"
  CreateDirectory "$SMPROGRAMS\$STARTMENU_FOLDER"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Vimbrot.lnk" "$INSTDIR\vimbrot.exe" "" "$INSTDIR\vimbrot.exe" 0
  SetOutPath "$INSTDIR"
  StrCmp $SV_ALLUSERS "AllUsers" 0 +2
    SetShellVarContext all
