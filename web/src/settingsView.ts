// The Settings view: each change is stored at once. Minimising to the tray says when no tray is
// there to bring the window back (minimising then goes to the taskbar); the usage reports' switch
// says what they carry.

import { el } from "./dom";
import type { LanguageSetting, Settings, Theme } from "./settings";
import { format } from "./texts";

export interface SettingsView {
    element: HTMLElement;
    /** Looks again at what may have changed outside (whether a tray is there). */
    refresh(): void;
}

/** `sys`: whether a tray is there, and the usage reports' switch (kept natively, not in [page]). */
export function createSettingsView(settings: Settings, change: <K extends keyof Settings>(key: K, value: Settings[K]) => void,
    trayHosted: () => boolean, sys: Pick<Tvn.SysModule, "usageReports">): SettingsView {
    let current = settings;
    const trayNote = el("p", { class: "setting-note", hidden: true }, format("settingsNoTray"));
    const reports = el("input", { type: "checkbox", checked: sys.usageReports, onchange: (event: Event) => {
        sys.usageReports = (event.target as HTMLInputElement).checked;
    } });
    const refresh = () => {
        trayNote.hidden = !current.minimizeToTray || trayHosted();
        reports.checked = sys.usageReports; // the first start's notice may have changed it
    };
    const checkbox = (key: "minimizeToTray" | "scanAtStart", label: string) =>
        el("label", { class: "setting" },
            el("input", { type: "checkbox", checked: settings[key], onchange: (event: Event) => {
                const value = (event.target as HTMLInputElement).checked;
                current = { ...current, [key]: value };
                change(key, value);
                refresh();
            } }),
            " ", label);
    const themes: [Theme, string][] = [["system", format("themeSystem")], ["light", format("themeLight")], ["dark", format("themeDark")]];
    const theme = el("select", { onchange: (event: Event) => change("theme", (event.target as HTMLSelectElement).value as Theme) },
        ...themes.map(([value, label]) => el("option", { value, selected: settings.theme === value }, label)));
    // Each language named in itself, whatever the page's language is.
    const languages: [LanguageSetting, string][] = [["desktop", format("languageDesktop")], ["en", "English"], ["zh-CN", "简体中文"]];
    const languageChoice = el("select", { onchange: (event: Event) => change("language", (event.target as HTMLSelectElement).value as LanguageSetting) },
        ...languages.map(([value, label]) => el("option", { value, selected: settings.language === value }, label)));
    const element = el("section", { class: "settings" },
        el("label", { class: "setting" }, format("settingsLanguage"), " ", languageChoice),
        checkbox("minimizeToTray", format("settingsMinimizeToTray")),
        trayNote,
        checkbox("scanAtStart", format("settingsScanAtStart")),
        el("label", { class: "setting" }, format("settingsTheme"), " ", theme),
        el("label", { class: "setting" }, reports, " ", format("settingsUsageReports")),
        el("p", { class: "setting-note" }, format("privacyWhat")));
    return { element, refresh };
}
