#include "actions/MainActions.h"

#include <array>

namespace vistrel::actions {
namespace {

enum class Kind { Plain, Toggle };

struct ActionRow {
  const char16_t* name;
  Kind kind;
  const char16_t* category;
  const char16_t* caption;
  const char16_t* key;   // as displayed
  const char16_t* also;  // secondary shortcut, as written
  const char16_t* switchText;
  const char16_t* token;
  int image;
  bool autoCheck;
  bool checked;
  const char16_t* hint;     // plain: the hint; toggle: the initial hint
  const char16_t* prepare;  // preparation handler
  const char16_t* execute;  // plain: the execute handler; toggle: the true-state handler
  const char16_t* falseExecute;
};

struct ToggleRow {
  const char16_t* name;
  const char16_t* trueCaption;
  const char16_t* falseCaption;
  int trueImage;
  int falseImage;
  const char16_t* trueHint;
  const char16_t* falseHint;
};

constexpr Kind P = Kind::Plain;
constexpr Kind T = Kind::Toggle;
constexpr const char16_t* none = u"";

// clang-format off
const std::array<ActionRow, kMainActionCount> kRows = {{
  {u"saGrab", P, u"action", u"Grab!", u"F5", u"CTRL+G", u"g", u"grab", 6, false, false,
   u"Saisir une image", none, u"saGrabexecute", none},
  {u"tafullscreen", T, u"action", u"Mettre en plein écran", u"Alt+Entrée", none, u"fs", u"full_screen", 5, false, false,
   u"Plein écran", none, u"tafullscreenTrueExecute", u"tafullscreenfalseExecute"},
  {u"acOptionsFrame", P, u"frame", u"Panneau Options", u"F10", u"ALT+O", u"of", u"options_frame", 10, false, false,
   u"Afficher le panneau pour paramétrer des options et des préférences.", none, u"acOptionsFrameExecute", none},
  {u"acDossiersFrame", P, u"frame", u"Panneau Dossiers", u"Alt+D", none, u"df", u"directories_frame", 34, false, false,
   u"Afficher le panneau pour choisir les dossiers\r\noù enregistrer les vidéos et les images.", none,
   u"acDossiersFrameExecute", none},
  {u"acProgrammerFrame", P, u"frame", u"Panneau Programmer", u"Alt+P", none, u"pf", u"program_frame", 20, false, false,
   u"Afficher le panneau pour programmer une capture", none, u"acProgrammerFrameExecute", none},
  {u"acExtraireFrame", P, u"frame", u"Panneau Extraire", u"Alt+G", none, u"gf", u"grab_frame", 7, false, false,
   u"Afficher le panneau pour saisir des images.\r\nComprend un intervallomètre.", none, u"acExtraireFrameExecute", none},
  {u"acIncrusterFrame", P, u"frame", u"Panneau Incruster", u"Alt+I", none, u"if", u"inlay_frame", 22, false, false,
   u"Afficher le panneau pour incruster des informations \r\ndans la vidéo.", none, u"acIncrusterFrameExecute", none},
  {u"acQuitter", P, u"general", u"Quitter", u"Alt+F4", u"CTRL+Q", u"q", u"quit", 4, false, false,
   u"Quitter", none, u"acQuitterExecute", none},
  {u"acApropos", P, u"frame", u"Panneau A propos...", u"Alt+A", none, u"af", u"about_frame", 31, false, false,
   u"A propos de Vistrel", none, u"acAproposExecute", none},
  {u"acCouper", P, u"action", u"Couper", u"F7", u"CTRL+X", u"k", u"cut", 29, false, false,
   u"Couper la capture en cours et continuer dans un nouveau fichier.", none, u"acCouperExecute", none},
  {u"acProgrammerBascule", P, u"action", u"Prog", u"Ctrl+P", none, u"p", u"program", 20, false, false,
   none, none, u"acProgrammerBasculeExecute", none},
  {u"acJpgOption", P, u"Options", u"Jpg", u"Ctrl+J", none, u"j", u"jpeg", -1, false, false,
   none, none, u"acJpgOptionExecute", none},
  {u"acBmpOption", P, u"Options", u"Bmp", u"Ctrl+B", none, u"b", u"bmp", -1, false, false,
   none, none, u"acBmpOptionExecute", none},
  {u"acBasculerPanneau", P, u"frame", u"Panneau Inverser", u"Alt+W", none, u"w", u"Switch", -1, false, false,
   none, none, u"acBasculerPanneauExecute", none},
  {u"acNextPanneau", P, u"frame", u"Panneau Suivant", u"F6", u"ALT+N", u"nf", u"next_frame", -1, false, false,
   none, none, u"acNextPanneauExecute", none},
  {u"acHelp", P, u"frame", u"Panneau Aide", u"F1", u"ALT+H", u"hf", u"help_frame", 9, false, false,
   u"Panneau pour obtenir de l'aide sur\r\nles sources de capture, et installer des filtres.", none,
   u"acHelpExecute", none},
  {u"acReduire", P, u"frame", u"Réduire", u"Alt+BkSp", none, u"r", u"reduce", -1, true, false,
   none, none, u"acReduireExecute", none},
  {u"acSourcesFrame", P, u"frame", u"Panneau Sources", u"F2", u"ALT+S", u"sf", u"sources_frame", 1, false, false,
   u"Afficher le panneau de choix des sources vidéo et audio.", none, u"acSourcesFrameExecute", none},
  {u"cam_PlayPause", T, u"camera", u"caméra PlayPause", u"Inser", none, u"x", u"play", -1, false, false,
   none, none, u"cam_PlayPauseTrueExecute", u"cam_PlayPausefalseExecute"},
  {u"cam_Stop", P, u"camera", u"caméra Stop", u"Ctrl+Fin", none, u"s", u"stop", -1, false, false,
   none, none, u"cam_Stopexecute", none},
  {u"cam_AvanceLent", P, u"camera", u"caméra Avance Lent", u"Ctrl+Right", none, u"as", u"advance_slow", -1, false, false,
   none, none, u"cam_AvanceLentexecute", none},
  {u"cam_AvanceRapide", P, u"camera", u"caméra Avance Rapide", u"Ctrl+Down", none, u"ff", u"fast_forward", -1, false,
   false, none, none, u"cam_AvanceRapideexecute", none},
  {u"cam_ReculeLent", P, u"camera", u"caméra Recule Lent", u"Ctrl+Left", none, u"bs", u"back_slow", -1, false, false,
   none, none, u"cam_ReculeLentexecute", none},
  {u"cam_ReculeRapide", P, u"camera", u"caméra Recule Rapide", u"Ctrl+Up", none, u"bf", u"back_fast", -1, false, false,
   none, none, u"cam_ReculeRapideexecute", none},
  {u"saCapturerBascule", P, u"action", u"Capturer", u"Ctrl+Barre d'Espace", none, u"c", u"capture", 14, true, false,
   u"Capturer le flux video actuel sur le disque dur.\r\nLa barre d'Espace permet aussi de lancer la capture.", none,
   u"saCapturerBasculeexecute", none},
  {u"acShowVideoPilotDV", P, u"action", none, none, none, u"pv", u"pilot_video", -1, false, false,
   none, none, u"acShowVideoPilotDVExecute", none},
  {u"acVertFlip", P, u"action", u"Miroir Vertical", u"F4", none, u"vf", u"vertical_flip", 36, true, false,
   u"Retourner l'image haut<=>bas ", none, u"acVertFlipExecute", none},
  {u"acKronel", P, u"action", u"Kronel", u"F8", none, u"kr", u"kronel", 31, false, false,
   u"Lancer Kronel avec les fichiers avi capturés", none, u"acKronelExecute", none},
  {u"acOuvrirDossierVideos", P, u"action", u"Ouvrir le dossier des vidéos", u"Alt+V", none, u"v", u"open_folder", 34,
   false, false, u"Accéder au dossier où sont enregistrés les clips vidéos", none, u"acOuvrirDossierVideosExecute",
   none},
  {u"acIncVolume", P, u"action", u"Augmenter le volume", none, none, u"iv", u"inc_volume", -1, false, false,
   none, none, u"acIncVolumeExecute", none},
  {u"acDecVolume", P, u"action", u"Diminuer le volume", none, none, u"dv", u"dec_volume", -1, false, false,
   none, none, u"acDecVolumeExecute", none},
  {u"acSliders", P, u"frame", u"Afficher les curseurs", u"Alt+Y", none, u"ss", u"sliders", -1, false, false,
   none, none, u"acSlidersExecute", none},
  {u"acHorzFlip", P, u"action", u"Miroir Horizontal", u"Shift+F4", none, u"zf", u"horizontal_flip", 42, true, false,
   u"retourner l'image Gauche <=> Droite", none, u"acHorzFlipExecute", none},
  {u"acShowAudioPilotDV", P, u"action", none, none, none, u"pa", u"pilot_audio", -1, false, false,
   none, none, u"acShowAudioPilotDVExecute", none},
  {u"cam_Toggle", P, u"camera", u"caméra Basculer", u"Ctrl+Home", none, u"ct", u"cameras_toggle", -1, false, false,
   none, none, u"cam_Toggleexecute", none},
  {u"saExitFullScreen", P, u"action", u"Interrompre", u"Echap", none, u"ef", u"exit_fullscreen", -1, false, false,
   none, none, u"saExitFullScreenexecute", none},
  {u"taraccourcis", T, u"Orbano", u"Afficher les raccourcis", u"F11", none, u"o", u"shortcuts", 59, false, false,
   u"Afficher la tableau des raccourcis et mots-clés de script", u"taraccourcisprepare", u"taraccourcisTrueExecute",
   u"taraccourcisfalseExecute"},
  {u"taDecalage", T, u"Orbano", none, none, none, u"dh", u"decalage", 0, false, true,
   none, u"taDecalageprepare", u"taDecalageTrueExecute", u"taDecalagefalseExecute"},
  {u"taFreezepreview", T, u"Orbano", u"Relancer la preview", u"F3", none, u"fp", u"freeze_preview", 51, true, false,
   u"Cliquer pour geler la preview.\r\nPermet d'enregistrer sans trop solliciter le processeur.", none,
   u"taFreezepreviewTrueExecute", u"taFreezepreviewfalseExecute"},
  {u"taFreezeCapture", T, u"Orbano", u"Geler la capture", u"Barre d'Espace", none, u"fc", u"freeze_capture", 52, true,
   false, u"Cliquer pour geler la capture.\r\nPermet de faire une pause dans l'enregistrement d'un fichier\r\npour le "
   u"reprendre plus tard.", none, u"taFreezeCaptureTrueExecute", u"taFreezeCapturefalseExecute"},
  {u"taIncruster", T, u"action", u"Incruster", u"F12", none, u"i", u"inlay", 55, false, false,
   u"Cliquer pour activer l'incrustation.", none, u"taIncrusterTrueExecute", u"taIncrusterfalseExecute"},
  {u"taLock", T, u"Orbano", u"Preview conforme", u"F9", none, u"l", u"lock", 57, false, false,
   u"Cliquer pour verrouiller la preview.\r\nElle ne peut alors qu'être égale à ce qui va être capturé.\r\n(Recommandé)",
   none, u"taLockTrueExecute", u"taLockfalseExecute"},
  {u"saListeFrame", P, u"frame", u"Panneau Liste", u"Alt+L", none, u"lf", u"liste_frame", 58, false, false,
   u"Afficher les gauges pour l'espace libre et l'occupation du processeur.\r\nAfficher aussi la liste des vidéos "
   u"enregistrées pendant la session.", none, u"saListeFrameexecute", none},
  {u"taMute", T, u"action", u"Couper le son", u"Ctrl+M", none, u"m", u"mute", 24, false, false,
   u"Cliquer pour couper le son.\r\nN'affecte pas ce qui est enregistré.", none, u"taMuteTrueExecute",
   u"taMutefalseExecute"},
  {u"saRatioNormal", P, u"Orbano", u"Image normale", u"Alt+F8", none, u"rn", u"ratio_normal", -1, false, false,
   none, none, u"saRatioNormalexecute", none},
  {u"saRatioNatif", P, u"Orbano", u"Image native", u"Alt+F7", none, u"rf", u"ratio_natif", -1, false, false,
   none, none, u"saRatioNatifexecute", none},
  {u"saRatio16x9", P, u"Orbano", u"Image 16x9", u"Alt+F6", none, u"rw", u"ratio_16x9", -1, false, false,
   none, none, u"saRatio16x9execute", none},
  {u"saRatio4x3", P, u"Orbano", u"Image 4x3", u"Alt+F5", none, u"rs", u"ratio_4x3", -1, false, false,
   none, none, u"saRatio4x3execute", none},
  {u"cam_Play", P, u"camera", u"caméra Play", u"Ctrl+Inser", none, u"cp", u"camera_play", -1, false, false,
   none, none, u"cam_Playexecute", none},
  {u"cam_Pause", P, u"camera", u"caméra Pause", u"Ctrl+Suppr", none, u"co", u"camera_pause", -1, false, false,
   none, none, u"cam_Pauseexecute", none},
  {u"saIntervallo", P, u"Orbano", u"Basculer l'intervallomètre", none, none, u"it", u"intervalometer", -1, false, false,
   none, none, u"saIntervalloexecute", none},
  {u"saScript", P, u"Orbano", u"Lancer script", none, none, none, none, 60, false, false,
   none, u"saScriptprepare", u"saScriptexecute", none},
  {u"saSourceVideo", P, u"select", u"Source Vidéo", none, none, u"sv", u"source_video", -1, false, false,
   none, u"saSourceVideoprepare", u"saSourceVideoexecute", none},
  {u"saSourceAudio", P, u"select", u"Source Audio", none, none, u"sa", u"source_audio", -1, false, false,
   none, u"saSourceAudioprepare", u"saSourceAudioexecute", none},
  {u"saFormatCapture", P, u"select", u"Format Capture", none, none, u"fc", u"format_capture", -1, false, false,
   none, u"saFormatCaptureprepare", u"saFormatCaptureexecute", none},
}};

const std::array<ToggleRow, 9> kToggles = {{
  {u"tafullscreen", u"Enlever le plein écran", u"Mettre en plein écran", 5, 5,
   u"Enlever le plein écran", u"Mettre en plein écran"},
  {u"cam_PlayPause", u"caméra PlayPause", u"caméra PlayPause", 0, 0, none, none},
  {u"taraccourcis", u"Masquer les raccourcis", u"Afficher les raccourcis", 59, 59,
   u"Cliquez pour masquer la table des raccourcis et mots-clés de script.",
   u"Cliquez pour afficher la tableau des raccourcis et mots-clés de script"},
  {u"taDecalage", u"Masquer décalage", u"Ajouter un décalage", 47, 47, none, none},
  {u"taFreezepreview", u"Geler la preview", u"Relancer la preview", 50, 51,
   u"Cliquer pour geler la preview.\r\nPermet d'enregistrer sans trop solliciter le processeur.",
   u"Cliquer pour réactiver la preview."},
  {u"taFreezeCapture", u"Geler la capture", u"Relancer la capture", 53, 52,
   u"Cliquer pour geler la capture.\r\nPermet de faire une pause dans l'enregistrement d'un fichier\r\npour le "
   u"reprendre plus tard.",
   u"Cliquer pour relancer la capture.\r\nPermet d'enregistrer plusieurs séquences à la suite\r\ndans un même "
   u"fichier."},
  {u"taIncruster", u"Stopper l'incrustation", u"Incruster", 26, 55,
   u"Cliquer pour arrêter l'incrustation.", u"Cliquer pour activer l'incrustation."},
  {u"taLock", u"Preview libre", u"Preview conforme", 46, 57,
   u"Cliquer pour déverrouiller la preview.\r\nUtile seulement si vous voulez prévisualiser autre chose\r\nque ce qui "
   u"va être enregistré.",
   u"Cliquer pour verrouiller la preview.\r\nElle ne peut alors qu'être égale à ce qui va être capturé.\r\n"
   u"(Recommandé)"},
  {u"taMute", u"Remettre le son", u"Couper le son", 23, 24,
   u"Cliquer pour remettre le son\r\nN'affecte pas ce qui est enregistré.",
   u"Cliquer pour couper le son.\r\nN'affecte pas ce qui est enregistré."},
}};
// clang-format on

QString text(const char16_t* s) { return QString::fromUtf16(s); }

const ToggleRow* toggleRow(const QString& name) {
  for (const ToggleRow& row : kToggles)
    if (text(row.name) == name) return &row;
  return nullptr;
}

THandler handler(const THandlerLookup& handlerFor, const char16_t* name) {
  if (!handlerFor || text(name).isEmpty()) return {};
  return handlerFor(text(name));
}

void setCommon(TCustomSuperAction& action, const ActionRow& row) {
  action.setCategory(text(row.category));
  action.setShortCut(TextToShortCut(text(row.key)));
  if (!text(row.also).isEmpty()) action.addSecondaryShortCut(text(row.also));
  action.setSwitch(text(row.switchText));
  action.setToken(text(row.token));
  action.setAutoCheck(row.autoCheck);
}

}  // namespace

void createMainActions(TActionList& al, const THandlerLookup& handlerFor) {
  for (const ActionRow& row : kRows) {
    const QString name = text(row.name);
    if (row.kind == Kind::Plain) {
      auto* action = new TSuperAction(&al, name);
      setCommon(*action, row);
      action->setCaption(text(row.caption));
      action->setHint(text(row.hint));
      action->setimageindex(row.image);
      action->setCheckedState(row.checked);
      action->Onprepare = handler(handlerFor, row.prepare);
      action->setOnexecute(handler(handlerFor, row.execute));
      continue;
    }
    auto* toggle = new TtoggleAction(&al, name);
    setCommon(*toggle, row);
    // A toggle that starts checked takes that state before its texts and handlers are known: it
    // starts with an empty caption and hint, image 0 and no handler.
    if (row.checked) toggle->SetChecked(true);
    if (!row.checked) {
      toggle->setCaption(text(row.caption));
      toggle->setHint(text(row.hint));
      toggle->setimageindex(row.image);
    }
    const ToggleRow* t = toggleRow(name);
    toggle->TrueCaption = text(t->trueCaption);
    toggle->FalseCaption = text(t->falseCaption);
    toggle->TrueHint = text(t->trueHint);
    toggle->FalseHint = text(t->falseHint);
    toggle->TrueImageIndex = t->trueImage;
    toggle->FalseImageIndex = t->falseImage;
    toggle->Onprepare = handler(handlerFor, row.prepare);
    toggle->OnTrueExecute = handler(handlerFor, row.execute);
    toggle->OnfalseExecute = handler(handlerFor, row.falseExecute);
  }
}

QStringList mainActionHandlerNames() {
  QStringList names;
  for (const ActionRow& row : kRows)
    for (const char16_t* n : {row.prepare, row.execute, row.falseExecute})
      if (!text(n).isEmpty()) names.append(text(n));
  return names;
}

}  // namespace vistrel::actions
