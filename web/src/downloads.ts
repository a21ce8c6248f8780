// The Downloads panel: each file the catalog offers, fetched into the user's Downloads folder
// through the engine (which asks the server for the address on the download's thread), with its
// progress, a Cancel button, and once saved a way to show it in its folder.

import type { CatalogDownload } from "./catalog";
import { el } from "./dom";
import { format } from "./texts";
import { TransferRate, transferText } from "./transfer";

export type DownloadState =
    | { phase: "idle" }
    | { phase: "running"; current: number; total: number; perSecond: number | null }
    | { phase: "done"; path: string; cached: boolean }
    | { phase: "failed"; code: number }
    | { phase: "noAddress" }
    | { phase: "cancelled" };

/** The error of a download whose address the server did not give (or gave one not trusted). */
export const kNoAddress = 0x80070057;

/** The next state after a download event (its speed unknown: the panel measures it). */
export function nextDownloadState(event: Tvn.DownloadEvent, path: string): DownloadState {
    const unsigned = (count: number) => (count < 0 ? count + 2 ** 32 : count); // 32-bit counts past 2 GiB
    if (!event.complete)
        return { phase: "running", current: unsigned(event.current), total: unsigned(event.total), perSecond: null };
    if (event.error === 0)
        return { phase: "done", path, cached: event.cached === true };
    return event.error >>> 0 === kNoAddress ? { phase: "noAddress" } : { phase: "failed", code: event.error >>> 0 };
}

export function downloadFraction(state: DownloadState): number {
    if (state.phase === "done")
        return 1;
    if (state.phase !== "running" || state.total <= 0)
        return 0;
    return Math.min(state.current / state.total, 1);
}

export function downloadText(state: DownloadState): string {
    switch (state.phase) {
    case "idle":
        return "";
    case "running":
        return state.total > 0 ? transferText(state) : format("downloadWaiting");
    case "done":
        return format(state.cached ? "downloadDoneCached" : "downloadDone", { path: state.path });
    case "failed":
        return format("downloadFailed", { code: "0x" + state.code.toString(16).padStart(8, "0") });
    case "noAddress":
        return format("downloadNoAddress");
    case "cancelled":
        return format("downloadCancelled");
    }
}

export function createDownloadsPanel(engine: Tvn.BizRepairModule, sys: Tvn.SysModule, downloads: CatalogDownload[]): HTMLElement {
    const rows = downloads.map((download) => {
        let thread: Tvn.DownloadThread | null = null;
        const bar = el("progress", { max: 100, value: 0, "aria-label": download.name });
        const text = el("span", { class: "download-text" });
        const start = el("button", { onclick: () => begin() }, format("download"));
        let saved = "";
        const showFile = el("button", { hidden: true, onclick: () => sys.showInExplorer({ path: saved }) }, format("downloadShow"));
        const cancel = el("button", { disabled: true, onclick: () => {
            thread?.cancel(); // no event follows a cancel, not even the last one
            show({ phase: "cancelled" });
        } }, format("cancel"));
        const show = (state: DownloadState) => {
            bar.value = Math.round(downloadFraction(state) * 100);
            text.textContent = downloadText(state);
            const running = state.phase === "running";
            saved = state.phase === "done" ? state.path : "";
            showFile.hidden = !saved;
            start.disabled = running;
            cancel.disabled = !running;
            if (!running)
                thread = null;
        };
        const begin = () => {
            let path = "";
            const rate = new TransferRate();
            show({ phase: "running", current: 0, total: 0, perSecond: null });
            try {
                const started = engine.downloadFile({ fileName: download.fileName, fileType: download.fileType,
                    progress: (event) => {
                        let state = nextDownloadState(event, path);
                        if (state.phase === "running") {
                            rate.add(performance.now(), state.current);
                            state = { ...state, perSecond: rate.perSecond() };
                        }
                        show(state);
                    } });
                thread = started.downloadThread;
                path = started.downloadPath;
            } catch {
                show({ phase: "noAddress" }); // a name the engine refuses: no address can be asked for it
            }
        };
        return el("li", { class: "download", "data-file": download.fileName },
            el("span", { class: "name" }, download.name), bar, text, start, cancel, showFile);
    });
    return el("section", { class: "downloads" }, el("p", {}, format("downloadsIntro", { folder: engine.downloadFolder })), el("ul", {}, ...rows));
}
