// A small helper for building elements: el("button", { class: "x", onclick }, "text").

type Props = Record<string, unknown>;
type Child = Node | string | null | undefined | false;

export function el<K extends keyof HTMLElementTagNameMap>(tag: K, props: Props = {}, ...children: Child[]): HTMLElementTagNameMap[K] {
    const element = document.createElement(tag);
    for (const [name, value] of Object.entries(props)) {
        if (value === undefined || value === null || value === false)
            continue;
        if (name.startsWith("on") && typeof value === "function")
            element.addEventListener(name.slice(2), value as EventListener);
        else if (name === "class")
            element.className = String(value);
        else if (name in element && name !== "list" && name !== "role")
            (element as unknown as Props)[name] = value;
        else
            element.setAttribute(name, value === true ? "" : String(value));
    }
    append(element, ...children);
    return element;
}

export function append(parent: Node, ...children: Child[]): void {
    for (const child of children) {
        if (child === null || child === undefined || child === false)
            continue;
        parent.appendChild(typeof child === "string" ? document.createTextNode(child) : child);
    }
}

export function clear(element: Element): void {
    while (element.firstChild)
        element.removeChild(element.firstChild);
}
