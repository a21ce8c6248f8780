// The Settings view: each change is stored at once.

import { el } from "./dom";
import type { Settings, Theme } from "./settings";
import { format } from "./texts";

export function createSettingsView(settings: Settings, change: <K extends keyof Settings>(key: K, value: Settings[K]) => void): HTMLElement {
    const checkbox = (key: "minimizeToTray" | "scanAtStart", label: string) =>
        el("label", { class: "setting" },
            el("input", { type: "checkbox", checked: settings[key], onchange: (event: Event) => change(key, (event.target as HTMLInputElement).checked) }),
            " ", label);
    const themes: [Theme, string][] = [["system", format("themeSystem")], ["light", format("themeLight")], ["dark", format("themeDark")]];
    const theme = el("select", { onchange: (event: Event) => change("theme", (event.target as HTMLSelectElement).value as Theme) },
        ...themes.map(([value, label]) => el("option", { value, selected: settings.theme === value }, label)));
    return el("section", { class: "settings" },
        checkbox("minimizeToTray", format("settingsMinimizeToTray")),
        checkbox("scanAtStart", format("settingsScanAtStart")),
        el("label", { class: "setting" }, format("settingsTheme"), " ", theme));
}
