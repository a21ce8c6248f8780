// The page's settings, kept in config.ini's [page] section through the sys module. Values are text
// there; anything unreadable falls back to its default.

import type { Language } from "./texts";

export type Theme = "system" | "light" | "dark";

/** A language of the page's, or the desktop's. */
export type LanguageSetting = "desktop" | Language;

export interface Settings {
    minimizeToTray: boolean;
    scanAtStart: boolean;
    theme: Theme;
    language: LanguageSetting;
}

export const defaultSettings: Settings = { minimizeToTray: false, scanAtStart: false, theme: "system", language: "desktop" };

export const settingsSection = "page";

export interface ConfigStore {
    getConfig(options: { section: string; key: string }): string;
    setConfig(options: { section: string; key: string; value: string }): null;
}

function readBoolean(text: string, fallback: boolean): boolean {
    const value = text.trim().toLowerCase();
    if (["1", "true", "yes", "on"].includes(value))
        return true;
    if (["0", "false", "no", "off"].includes(value))
        return false;
    return fallback;
}

function readTheme(text: string): Theme {
    const value = text.trim().toLowerCase();
    return value === "light" || value === "dark" || value === "system" ? value : defaultSettings.theme;
}

function readLanguage(text: string): LanguageSetting {
    const value = text.trim();
    return value === "en" || value === "zh-CN" || value === "pseudo" ? value : "desktop";
}

export function readSettings(store: ConfigStore): Settings {
    const get = (key: keyof Settings) => store.getConfig({ section: settingsSection, key });
    return {
        minimizeToTray: readBoolean(get("minimizeToTray"), defaultSettings.minimizeToTray),
        scanAtStart: readBoolean(get("scanAtStart"), defaultSettings.scanAtStart),
        theme: readTheme(get("theme")),
        language: readLanguage(get("language")),
    };
}

/** Stores one setting; the settings as they are now. */
export function writeSetting<K extends keyof Settings>(store: ConfigStore, settings: Settings, key: K, value: Settings[K]): Settings {
    store.setConfig({ section: settingsSection, key, value: String(value) });
    return { ...settings, [key]: value };
}
